#pragma once

#include <string>

namespace quorv::app {

inline constexpr const char* kSettingsFileName = "QuorvIPChanger.ini";

// The folder that holds the data file and the settings file, with a trailing '/'.
// Beside the programs when the user may write there (the portable use, and the build
// tree); otherwise, as in an installed copy, $XDG_DATA_HOME/quorv-ip-changer/. The
// installed program folder never counts as writable, so root keeps its data file in its
// own home like everybody else. The folder may not exist yet.
std::string DataFolder();

// The same rule for a given program folder and installed program folder (empty: none).
std::string DataFolderFor(const std::string& programFolder, const std::string& installedFolder);

// DefaultDataFilePath() (app/DataFile.h) is DataFolder() + the data file's name; it
// makes the folder when it is missing.

// Where QuorvIPChanger.ini is looked for: its presence switches the window placement
// from the per-user settings to that file.
std::string SettingsFilePath();

// Makes the folder of `path` when it is missing, for the user alone.
void MakeDataFolder(const std::string& path);

}  // namespace quorv::app
