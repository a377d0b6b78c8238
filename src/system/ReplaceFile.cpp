#include "system/ReplaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Exception.h"

namespace quorv::platform {

namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw Exception("Cannot write \"" + path + "\": " + reason + ".");
}

std::string Reason(int error) {
    return error == ENOSPC ? "the disk is full" : std::strerror(error);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

void ReplaceFile(const std::string& path, std::string_view bytes, TFileMode mode) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        Fail(path, "the name is a folder");
    }
    struct stat old {};
    const bool exists = ::lstat(path.c_str(), &old) == 0;
    if (exists && S_ISLNK(old.st_mode)) {
        Fail(path, "it is a symbolic link; name the file it points to instead");
    }
    if (exists && !S_ISREG(old.st_mode)) {
        Fail(path, "it is not a regular file");
    }
    mode_t newMode = exists ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());
    if (mode == TFileMode::Private) {
        newMode = exists ? (old.st_mode & 0600) : 0600;
    }

    std::string temp = folder + "." + name + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        Fail(path, Reason(errno));
    }
    int error = 0;
    if (::fchmod(fd, newMode) != 0 || !WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.c_str());
        Fail(path, Reason(error));
    }
    // The rename itself outlives a crash only once the folder is synced.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace quorv::platform
