#include "store/TableSchema.h"

#include "store/FieldTypes.h"
#include "store/NameCompare.h"
#include "store/Utf8.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {

TFieldDesc MakeFieldItem(std::string name, uint8_t fieldType, int32_t size,
                         uint8_t skipProcessing) {
    return TFieldDesc{std::move(name), fieldType, size, skipProcessing};
}

void ValidateFieldDescs(const std::vector<TFieldDesc>& fields) {
    if (fields.size() > static_cast<size_t>(kMaxFields)) {
        throw EDatabaseError("Too many fields");
    }
    if (fields.empty()) {
        throw EDatabaseError("Field name expected");
    }
    for (const auto& f : fields) {
        if (!IsAcceptedFieldType(f.FieldType)) {
            throw EDatabaseError("Field '" + f.Name + "' is of an unsupported type");
        }
        if (!IsValidName(f.Name)) {
            throw EDatabaseError("Invalid field name '" + f.Name + "'");
        }
        if (IsBlobFieldType(f.FieldType) && f.Size != 0) {
            throw EDatabaseError("Invalid field size");
        }
        if (IsSizedFieldType(f.FieldType) && (f.Size < 1 || f.Size > kMaxStringSize)) {
            throw EDatabaseError("Invalid field size");
        }
    }
    // Names are stored cut to 32 characters, so they must differ within those.
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto a = Utf8Truncate(fields[i].Name, kMaxNameLength);
        for (size_t j = i + 1; j < fields.size(); ++j) {
            if (SameName(a, Utf8Truncate(fields[j].Name, kMaxNameLength))) {
                throw EDatabaseError("Duplicate field name '" + fields[i].Name + "'");
            }
        }
    }
    int autoIncs = 0;
    for (const auto& f : fields) {
        if (f.FieldType == ftAutoInc && ++autoIncs > 1) {
            throw EDatabaseError("Duplicate AutoInc field");
        }
    }
}

TTableHeader BuildTableHeader(const std::string& name, const std::vector<TFieldDesc>& fields,
                              int32_t firstIndexBlock) {
    TTableHeader h;
    h.Name = std::string(Utf8Truncate(name, kMaxNameLength));
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto& f = fields[i];
        TFieldItem item;
        item.Name = std::string(Utf8Truncate(f.Name, kMaxNameLength));
        item.FieldType = f.FieldType;
        item.Size = IsSizedFieldType(f.FieldType) ? f.Size : 0;
        item.SkipProcessing = f.SkipProcessing;
        h.Fields.push_back(item);
        if (f.FieldType == ftAutoInc) {
            TIndexItem primary;
            primary.Name = item.Name;
            primary.Options = tiPrimary;
            primary.FieldNumbers[0] = static_cast<int32_t>(i);
            primary.FirstBlock = firstIndexBlock;
            h.Indexes.push_back(primary);
        }
    }
    h.StoredFieldCount = static_cast<int32_t>(h.Fields.size());
    h.StoredIndexCount = static_cast<int32_t>(h.Indexes.size());
    return h;
}

}  // namespace quorv::store
