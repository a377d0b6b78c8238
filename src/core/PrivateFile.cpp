#include "core/PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "store/processing/StoreErrors.h"

namespace quorv::app {

namespace {

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

[[noreturn]] void Fail(const std::string& path, int error) {
    throw store::EDatabaseError("Cannot create file " + path + ": " + std::strerror(error));
}

void WriteAll(int fd, const std::vector<uint8_t>& bytes, const std::string& path) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            Fail(path, n < 0 ? errno : ENOSPC);
        }
        done += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0) {
        Fail(path, errno);
    }
}

std::string FolderOf(const std::string& path) {
    std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

bool InstallPrivateFileByRandomName(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string building = path + ".new-XXXXXX";
    Descriptor fd(mkostemp(building.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        Fail(path, errno);
    }
    struct stat mine {};
    try {
        WriteAll(fd.get(), bytes, path);
        if (fstat(fd.get(), &mine) != 0) {
            Fail(path, errno);
        }
    } catch (...) {
        unlink(building.c_str());
        throw;
    }
    const bool linked = link(building.c_str(), path.c_str()) == 0;
    const int linkError = errno;
    // Whatever stands under the random name now goes; it is ours or a planted link.
    unlink(building.c_str());
    if (!linked) {
        if (linkError == EEXIST) {
            return false;
        }
        Fail(path, linkError);
    }
    // Someone who swapped the random name for a link of their own between our writes and
    // link() got their link installed: take it away again.
    struct stat installed {};
    if (lstat(path.c_str(), &installed) != 0 || !SameFile(installed, mine)) {
        unlink(path.c_str());
        Fail(path, EEXIST);
    }
    return true;
}

bool InstallPrivateFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    Descriptor fd(open(FolderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
            return InstallPrivateFileByRandomName(path, bytes);
        }
        Fail(path, errno);
    }
    WriteAll(fd.get(), bytes, path);
    // The unnamed file appears under `path` in one step, and never over an existing file.
    const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    if (errno == ENOENT && access("/proc/self/fd", F_OK) != 0) {
        return InstallPrivateFileByRandomName(path, bytes);
    }
    Fail(path, errno);
}

}  // namespace quorv::app
