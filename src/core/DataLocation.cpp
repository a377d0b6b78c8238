#include "core/DataLocation.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "core/DataFile.h"
#include "store/processing/StoreErrors.h"
#include "system/ProgramFolder.h"

namespace quorv::app {

namespace {

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/";
}

std::string UserDataHome() {
    // A relative value is invalid and must be ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
        return WithSlash(xdg);
    }
    return WithSlash(HomeFolder()) + ".local/share/";
}

bool SameFolder(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

}  // namespace

std::string DataFolderFor(const std::string& programFolder, const std::string& installedFolder) {
    const bool installed = !installedFolder.empty() && SameFolder(programFolder, installedFolder);
    if (!installed && faccessat(AT_FDCWD, programFolder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) {
        return WithSlash(programFolder);
    }
    return UserDataHome() + "quorv-ip-changer/";
}

std::string DataFolder() {
#ifdef QUORV_INSTALLED_PROGRAM_FOLDER
    const std::string installed = QUORV_INSTALLED_PROGRAM_FOLDER;
#else
    const std::string installed;
#endif
    return DataFolderFor(platform::ProgramFolder(), installed);
}

std::string DefaultDataFilePath() {
    std::string path = DataFolder() + kDataFileName;
    MakeDataFolder(path);
    return path;
}

std::string SettingsFilePath() {
    return DataFolder() + kSettingsFileName;
}

void MakeDataFolder(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (folder.empty() || std::filesystem::is_directory(folder, ec)) {
        return;
    }
    std::filesystem::create_directories(folder.parent_path(), ec);
    // Our own folder is the user's alone; the ones above it are ordinary folders.
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        throw store::EDatabaseError("Cannot create folder " + folder.string());
    }
}

}  // namespace quorv::app
