#include "store/StoreCheck.h"

#include <algorithm>
#include <vector>

#include "store/BlobSlot.h"
#include "store/FileLayout.h"
#include "store/StoreIndexes.h"

#include "store/MemoryMedium.h"
#include "store/StoreFileIO.h"
#include "store/StoreTableIO.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {

TStoreCheckSummary ReadWholeDatabase(TStoreFileIO& file, const std::string& password) {
    if (!file.CheckPassword(password)) {
        throw EDatabaseError("Access denied");
    }
    TStoreCheckSummary summary;
    const std::vector<std::string> names = file.TableNames();
    summary.Tables = static_cast<int32_t>(names.size());
    for (const std::string& name : names) {
        TStoreTableIO table(file, name);
        table.Open();
        std::vector<uint8_t> record(static_cast<size_t>(table.RecordSize()));
        for (const TRecordItem& item : table.PhysicalOrder()) {
            table.ReadRecord(item.RecNo, record.data());
            ++summary.Records;
            for (int32_t f = 0; f < table.FieldDefs().Count(); ++f) {
                if (table.FieldDefs()[f].IsBlob()) {
                    auto blob = table.BlobStream(record.data(), f);
                    summary.ValueBytes += static_cast<int64_t>(blob->Value().size());
                    ++summary.BlobValues;
                }
            }
        }
        table.Close();
    }
    return summary;
}

namespace {

struct TArea {
    int64_t Begin;
    int64_t End;
    std::string What;
};

void CheckTable(TStoreFileIO& file, int32_t index, std::vector<std::string>& problems,
                std::vector<TArea>& areas, int64_t& records) {
    TTableHeader header;
    try {
        header = file.ReadTableHeader(index);
    } catch (const std::exception& e) {
        problems.push_back(e.what());
        return;
    }
    const std::string where = "table '" + header.Name + "'";
    const int32_t headerAt = file.Directory().Offsets[index];
    areas.push_back(
        {headerAt, headerAt + static_cast<int64_t>(kTableHeaderSize), where + " header"});
    TStoreTableIO table(file, header.Name);
    TStoreIndexes indexes(table);
    try {
        table.Open();
    } catch (const std::exception& e) {
        problems.push_back(e.what());
        return;
    }
    for (int32_t block : table.RecordTabBlocks()) {
        areas.push_back({block, block + static_cast<int64_t>(kRecordTabBlockSize),
                         where + " record-tab block"});
    }
    for (size_t n = 0; n < table.RecordTab().size(); ++n) {
        const auto recNo = static_cast<int32_t>(n);
        if (table.RecordTab()[n].Deleted == 0 && !table.IsLive(recNo)) {
            problems.push_back(where + ": record " + std::to_string(n) + " is incomplete");
        }
    }
    std::vector<uint8_t> record(static_cast<size_t>(table.RecordSize()));
    for (const TRecordItem& item : table.PhysicalOrder()) {
        const std::string rec = where + ", record " + std::to_string(item.RecNo);
        areas.push_back(
            {item.DataOffset, item.DataOffset + static_cast<int64_t>(table.RecordSize()), rec});
        try {
            table.ReadRecord(item.RecNo, record.data());
            ++records;
        } catch (const std::exception& e) {
            problems.push_back(rec + ": " + e.what());
            continue;
        }
        for (int32_t f = 0; f < table.FieldDefs().Count(); ++f) {
            const TStoreFieldDef& def = table.FieldDefs()[f];
            if (!def.IsBlob()) {
                continue;
            }
            const TBlobSlot slot = TBlobSlot::DecodeFrom(record.data() + def.Offset);
            if (!slot.IsBlank()) {
                areas.push_back({slot.Offset, slot.Offset + static_cast<int64_t>(slot.AreaSize),
                                 rec + ", field '" + def.Name + "'"});
            }
            try {
                TMemoryStream value;
                table.ReadBlob(slot, f, value);
            } catch (const std::exception& e) {
                problems.push_back(rec + ", field '" + def.Name + "': " + e.what());
            }
        }
    }
    try {
        for (const std::string& p : indexes.Verify()) {
            problems.push_back(p);
        }
    } catch (const std::exception& e) {
        problems.push_back(where + ": " + e.what());
    }
    for (int32_t i = 0; i < indexes.Count(); ++i) {
        for (int32_t block : indexes.Blocks(i)) {
            areas.push_back({block, block + static_cast<int64_t>(kIndexTabBlockSize),
                             where + ", index '" + indexes.Def(i).Name + "' tab block"});
        }
    }
}

}  // namespace

std::vector<std::string> CheckDatabase(TStoreFileIO& file, int64_t* records) {
    std::vector<std::string> problems;
    std::vector<TArea> areas;
    int64_t read = 0;
    for (int32_t t = 0; t < file.Directory().Count; ++t) {
        CheckTable(file, t, problems, areas, read);
    }
    std::sort(areas.begin(), areas.end(),
              [](const TArea& a, const TArea& b) { return a.Begin < b.Begin; });
    for (size_t k = 1; k < areas.size(); ++k) {
        if (areas[k].Begin < areas[k - 1].End) {
            problems.push_back(areas[k - 1].What + " overlaps " + areas[k].What);
        }
    }
    if (records) {
        *records = read;
    }
    return problems;
}

TStoreCheckSummary ReadWholeImage(const uint8_t* data, size_t size, const std::string& password) {
    TMemoryStream image;
    image.LoadFromBuffer(data, size);
    const TMemoryRegistration registration(&image);
    TStoreFileIO file;
    file.Open(registration.Name(), mtMemory, 0, true);
    return ReadWholeDatabase(file, password);
}

}  // namespace quorv::store
