#include "store/StoreCheck.h"

#include <vector>

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

TStoreCheckSummary ReadWholeImage(const uint8_t* data, size_t size, const std::string& password) {
    TMemoryStream image;
    image.LoadFromBuffer(data, size);
    const TMemoryRegistration registration(&image);
    TStoreFileIO file;
    file.Open(registration.Name(), mtMemory, 0, true);
    return ReadWholeDatabase(file, password);
}

}  // namespace quorv::store
