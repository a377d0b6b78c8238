#include "store/FieldDefs.h"

#include "store/FieldTypes.h"
#include "store/NameCompare.h"

namespace quorv::store {

bool TStoreFieldDef::IsBlob() const {
    return IsBlobFieldType(FieldType);
}

TStoreFieldDefs::TStoreFieldDefs(const std::vector<TFieldItem>& items) {
    int32_t offset = 0;
    for (const auto& item : items) {
        TStoreFieldDef def;
        def.Name = item.Name;
        def.FieldType = item.FieldType;
        def.Size = item.Size;
        def.SkipProcessing = item.SkipProcessing != 0;
        def.Offset = offset;
        def.Width = StoredFieldWidth(item.FieldType, item.Size);
        offset += def.Width;
        if (def.FieldType == ftAutoInc && autoIncField_ < 0) {
            autoIncField_ = static_cast<int32_t>(defs_.size());
        }
        defs_.push_back(def);
    }
    recordSize_ = offset;
}

int32_t TStoreFieldDefs::IndexOf(std::string_view name) const {
    // A file from another writer may hold names that differ only in case; the exact one
    // wins over the first one ignoring case.
    for (size_t i = 0; i < defs_.size(); ++i) {
        if (defs_[i].Name == name) {
            return static_cast<int32_t>(i);
        }
    }
    for (size_t i = 0; i < defs_.size(); ++i) {
        if (SameName(defs_[i].Name, name)) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

TStoreIndexDefs::TStoreIndexDefs(const std::vector<TIndexItem>& items) {
    for (const auto& item : items) {
        TStoreIndexDef def;
        def.Name = item.Name;
        def.Options = item.Options;
        for (int32_t n : item.FieldNumbers) {
            if (n < 0) {
                break;
            }
            def.FieldNumbers.push_back(n);
        }
        defs_.push_back(def);
    }
}

}  // namespace quorv::store
