#include "app/DataFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "app/OptionRecord.h"
#include "apply/Options.h"
#include "apply/Profile.h"
#include "platform/ProgramFolder.h"
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

void BuildDataFile(const std::string& path) {
    store::TStoreDatabase db;
    if (!db.CreateDatabase(path, true, 3, "ZLIB", true, "Gost", kDataFilePassword, false)) {
        throw store::EDatabaseError("Cannot open file " + path);
    }
    db.SetDatabaseName(path);
    db.SetPassword(kDataFilePassword);
    db.CreateTable(apply::kProfileTable, FieldItems(apply::kProfileColumns));
    db.CreateIndex(apply::kProfileTable, apply::kNameIndex, 0, {"Name"});
    db.CreateTable(apply::kOptionTable, FieldItems(apply::kOptionColumns));
    db.CreateIndex(apply::kOptionTable, apply::kNameIndex, 0, {"Name"});
    db.Close();
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

std::string DefaultDataFilePath() {
    return platform::ProgramFolder() + kDataFileName;
}

void CreateDataFile(const std::string& path) {
    const std::string building = path + ".new-" + std::to_string(getpid());
    unlink(building.c_str());
    try {
        BuildDataFile(building);
    } catch (...) {
        unlink(building.c_str());
        throw;
    }
    // link() refuses to replace a file another program has created meanwhile.
    if (link(building.c_str(), path.c_str()) != 0 && errno != EEXIST) {
        if (!Exists(path) && std::rename(building.c_str(), path.c_str()) != 0) {
            unlink(building.c_str());
            throw store::EDatabaseError("Cannot open file " + path);
        }
    }
    unlink(building.c_str());
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
