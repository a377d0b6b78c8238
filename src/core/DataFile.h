#pragma once

#include <functional>
#include <string>

namespace quorv::store {
class TStoreTable;
}

namespace quorv::app {

inline constexpr const char* kDataFileName = "QuorvIPChanger.dat";
// The one password every data file is created and opened with.
inline constexpr const char* kDataFilePassword = "8074";

// The data file the window and qic open unless told otherwise (qic --data): in the
// folder DataFolder() (app/DataLocation.h) chooses, made when it is missing.
std::string DefaultDataFilePath();

// Writes a new data file, mode 0600, with the two tables and their name indexes, and no
// rows. It is complete before it gets its name, so a failure never leaves a half-made
// file that later starts would take for a good one, of two programs starting at once
// only one file survives, and a link planted in the folder is never written through.
void CreateDataFile(const std::string& path);

// What opening the two tables came to; the GUI drops these messages, qic reports them.
struct DataFileStatus {
    bool created = false;
    std::string profileError;  // empty: tblIPList is open
    std::string optionError;   // empty: tblOption is open with its default rows
    // Profiles the file counts but does not hold whole; they are missing from the list.
    int damagedProfiles = 0;
    bool Ok() const { return profileError.empty() && optionError.empty(); }
};

// Creates the data file when it is missing (errors of the creation propagate), opens
// tblIPList on `profiles` and calls profilesOpened (the list fill), then opens tblOption
// on `options` and adds the default option rows that are missing. A failure in either
// table's step ends that step and is returned, not raised.
DataFileStatus OpenDataFile(const std::string& path, store::TStoreTable& profiles,
                            store::TStoreTable& options,
                            const std::function<void()>& profilesOpened = {});

}  // namespace quorv::app
