#include "core/DataFile.h"

#include <unistd.h>

#include <vector>

#include "core/OptionRecord.h"
#include "core/Options.h"
#include "core/PrivateFile.h"
#include "core/Profile.h"
#include "store/MemoryMedium.h"
#include "store/StoreDatabase.h"
#include "store/StoreTable.h"
#include "store/TableSchema.h"
#include "store/processing/StoreErrors.h"

namespace quorv::app {

namespace {

template <size_t N>
std::vector<store::TFieldDesc> FieldItems(const std::array<apply::ColumnDef, N>& columns) {
    std::vector<store::TFieldDesc> fields;
    for (const apply::ColumnDef& column : columns) {
        // SkipProcessing 0: every column enciphered, the memo also compressed.
        fields.push_back(
            store::MakeFieldItem(column.name, static_cast<uint8_t>(column.type), column.width, 0));
    }
    return fields;
}

// The new file's image is made in memory, so that no name on disk is written twice.
std::vector<uint8_t> BuildDataFile(const std::string& path) {
    store::TMemoryStream image;
    {
        const store::TMemoryRegistration registration(&image);
        store::TStoreDatabase db;
        db.SetMediumType(store::mtMemory);
        if (!db.CreateDatabase(registration.Name(), true, 3, "ZLIB", true, "Gost",
                               kDataFilePassword, false)) {
            throw store::EDatabaseError("Cannot open file " + path);
        }
        db.SetDatabaseName(registration.Name());
        db.SetPassword(kDataFilePassword);
        db.CreateTable(apply::kProfileTable, FieldItems(apply::kProfileColumns));
        db.CreateIndex(apply::kProfileTable, apply::kNameIndex, 0, {"Name"});
        db.CreateTable(apply::kOptionTable, FieldItems(apply::kOptionColumns));
        db.CreateIndex(apply::kOptionTable, apply::kNameIndex, 0, {"Name"});
        db.Close();
    }
    return image.TakeBytes();
}

bool Exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

void OpenTable(store::TStoreTable& table, const std::string& path, const char* name) {
    table.Close();
    table.SetDatabaseName(path);
    table.SetTableName(name);
    table.SetPassword(kDataFilePassword);
    table.Open();
}

}  // namespace

void CreateDataFile(const std::string& path) {
    // False: another program created it meanwhile, and its file is the one to use.
    InstallPrivateFile(path, BuildDataFile(path));
}

DataFileStatus OpenDataFile(const std::string& path, store::TStoreTable& profiles,
                            store::TStoreTable& options,
                            const std::function<void()>& profilesOpened) {
    DataFileStatus status;
    if (!Exists(path)) {
        CreateDataFile(path);
        status.created = true;
    }
    try {
        OpenTable(profiles, path, apply::kProfileTable);
        status.damagedProfiles = profiles.DamagedRecordCount();
        if (profilesOpened) {
            profilesOpened();
        }
    } catch (const std::exception& e) {
        status.profileError = e.what();
    }
    try {
        OpenTable(options, path, apply::kOptionTable);
        options.Refresh();
        AddMissingOptions(options);
    } catch (const std::exception& e) {
        status.optionError = e.what();
    }
    return status;
}

}  // namespace quorv::app
