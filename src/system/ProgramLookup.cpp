#include "system/ProgramLookup.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace quorv::platform {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string InFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return {};
    }
    std::string path = folder;
    if (path.back() != '/') {
        path += '/';
    }
    path += name;
    return IsExecutableFile(path) ? path : std::string();
}

std::string CaseBlindInFolder(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return {};
    }
    std::string found;
    while (dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = InFolder(folder, entry->d_name);
            if (!found.empty()) {
                break;
            }
        }
    }
    ::closedir(dir);
    return found;
}

std::vector<std::string> Candidates(const std::string& name) {
    std::vector<std::string> names{name};
    if (name.size() > 4 && ::strcasecmp(name.c_str() + name.size() - 4, ".exe") == 0) {
        names.push_back(name.substr(0, name.size() - 4));
    }
    return names;
}

std::vector<std::string> PathFolders() {
    const char* env = std::getenv("PATH");
    std::string path = env != nullptr ? env : "/usr/local/bin:/usr/bin:/bin";
    std::vector<std::string> folders;
    size_t start = 0;
    for (;;) {
        size_t colon = path.find(':', start);
        std::string folder = path.substr(start, colon - start);
        // An empty entry would mean the current folder; that is never searched.
        if (!folder.empty()) {
            folders.push_back(folder);
        }
        if (colon == std::string::npos) {
            break;
        }
        start = colon + 1;
    }
    return folders;
}

}  // namespace

std::string FindInPath(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    if (name.find('/') != std::string::npos) {
        return IsExecutableFile(name) ? name : std::string();
    }
    for (const std::string& folder : PathFolders()) {
        std::string path = InFolder(folder, name);
        if (!path.empty()) {
            return path;
        }
    }
    return {};
}

std::string FindSystemProgram(const std::string& name) {
    for (const char* folder : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"}) {
        std::string path = InFolder(folder, name);
        if (!path.empty()) {
            return path;
        }
    }
    return {};
}

std::string FindProgram(const std::string& name, const std::string& programFolder) {
    if (name.empty()) {
        return {};
    }
    if (name.find('/') != std::string::npos) {
        return IsExecutableFile(name) ? name : std::string();
    }
    const std::vector<std::string> names = Candidates(name);
    for (const std::string& candidate : names) {
        std::string path = InFolder(programFolder, candidate);
        if (!path.empty()) {
            return path;
        }
    }
    for (const std::string& candidate : names) {
        std::string path = FindInPath(candidate);
        if (!path.empty()) {
            return path;
        }
    }
    if (!programFolder.empty()) {
        for (const std::string& candidate : names) {
            std::string path = CaseBlindInFolder(programFolder, candidate);
            if (!path.empty()) {
                return path;
            }
        }
    }
    return {};
}

}  // namespace quorv::platform
