#include "StoreImageExercise.h"

#include <string>
#include <vector>

#include "store/FieldTypes.h"
#include "store/MemoryMedium.h"
#include "store/StoreCheck.h"
#include "store/StoreFileIO.h"
#include "store/StoreIndexes.h"
#include "store/StoreTableIO.h"

namespace quorv::store::fuzz {

namespace {

TFieldBuffers ValuesFor(const TStoreTableIO& table, TMemoryStream& memo) {
    const TStoreFieldDefs& defs = table.FieldDefs();
    TFieldBuffers values(defs.Count());
    for (int32_t f = 0; f < defs.Count(); ++f) {
        const TStoreFieldDef& def = defs[f];
        if (def.IsBlob()) {
            values.SetBlob(f, &memo);
        } else if (IsStringFieldType(def.FieldType)) {
            values.SetText(f, "fuzz \xED\x95\x9C value");
        } else if (def.FieldType != ftAutoInc) {
            values[f].Write = true;
            values[f].Bytes.assign(static_cast<size_t>(def.Width), '\x01');
        }
    }
    return values;
}

void WriteToEveryTable(TStoreFileIO& file) {
    TMemoryStream memo;
    const std::string text(300, 'm');
    memo.LoadFromBuffer(text.data(), text.size());
    for (const std::string& name : file.TableNames()) {
        TStoreTableIO table(file, name);
        TStoreIndexes indexes(table);  // loads the index lists and follows every write
        table.Open();
        const TFieldBuffers values = ValuesFor(table, memo);
        table.AppendRecord(values);
        table.ModifyRecord(0, values);
        table.DeleteRecord(static_cast<int32_t>(table.PhysicalOrder().size()) - 1);
        indexes.Verify();
        table.Close();
    }
}

}  // namespace

void ExerciseStoreImage(const uint8_t* data, size_t size) {
    ReadWholeImage(data, size, kSeedPassword);

    TMemoryStream copy;
    copy.LoadFromBuffer(data, size);
    const TMemoryRegistration registration(&copy);
    TStoreFileIO file;
    file.Open(registration.Name(), mtMemory);
    file.CheckPassword(kSeedPassword);
    WriteToEveryTable(file);
    ReadWholeDatabase(file, kSeedPassword);
}

}  // namespace quorv::store::fuzz
