#include "core/DataFileTrust.h"

#include <unistd.h>

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

#include "base/Exception.h"

namespace quorv::app {

namespace {

std::string Check(const std::filesystem::path& item, bool immediateFolder, bool folder) {
    struct stat st {};
    if (lstat(item.c_str(), &st) != 0) {
        return item.string() + " cannot be examined";
    }
    const std::string what = folder ? "the folder " + item.string() : item.string();
    if (st.st_uid != 0) {
        return what + " is not owned by root";
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) == 0) {
        return {};
    }
    if (folder && !immediateFolder && (st.st_mode & S_ISVTX) != 0) {
        return {};
    }
    return what + " can be written by other users";
}

}  // namespace

std::string WhyUntrustedByRoot(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) {
        return path + " cannot be examined";
    }
    std::filesystem::path item(resolved);
    if (std::string why = Check(item, false, false); !why.empty()) {
        return why;
    }
    bool immediate = true;
    while (item.has_relative_path()) {
        item = item.parent_path();
        if (std::string why = Check(item, immediate, true); !why.empty()) {
            return why;
        }
        immediate = false;
    }
    return {};
}

void CheckRootMayApply(const std::string& path) {
    if (geteuid() != 0)
        return;
    if (const std::string why = WhyUntrustedByRoot(path); !why.empty()) {
        throw Exception("refusing to apply a profile as root: " + why +
                        ", and the profile's script lines would run as root");
    }
}

}  // namespace quorv::app
