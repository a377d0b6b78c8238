#include "core/DataFileTrust.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <deque>
#include <utility>

#include "base/Exception.h"

namespace quorv::app {

namespace {

constexpr int kMaxLinks = 40;

// A descriptor closed when it goes out of scope.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.fd_, -1));
        }
        return *this;
    }
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_;
};

bool WritableByOthers(const struct stat& st) {
    return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

std::string Joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string Parent(const std::string& folder) {
    const size_t slash = folder.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : folder.substr(0, slash);
}

void Split(const std::string& path, std::deque<std::string>& into) {
    std::deque<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string part = path.substr(start, end - start);
        if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    into.insert(into.begin(), parts.begin(), parts.end());
}

// The walk from "/" to the file. Every folder is judged before anything in it is looked
// at; a folder others may write is passed through only when its sticky bit keeps them
// from replacing our entries, and nothing in it may be a link or the file itself.
struct Walk {
    Fd folder;
    std::string shown = "/";
    bool shared = false;
    std::string why;

    bool EnterFolder(Fd next, std::string name) {
        struct stat st {};
        if (::fstat(next.Get(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            why = name + " cannot be examined";
            return false;
        }
        if (st.st_uid != 0) {
            why = "the folder " + name + " is not owned by root";
            return false;
        }
        shared = WritableByOthers(st);
        if (shared && (st.st_mode & S_ISVTX) == 0) {
            why = "the folder " + name + " can be written by other users";
            return false;
        }
        folder = std::move(next);
        shown = std::move(name);
        return true;
    }

    bool Restart() { return EnterFolder(Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)), "/"); }
};

// The judged file open for reading, or -1 with the reason in `why`.
Fd OpenJudged(const std::string& path, std::string& why) {
    std::deque<std::string> parts;
    std::string absolute = path;
    if (path.empty() || path[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) == nullptr) {
            why = path + " cannot be examined";
            return Fd();
        }
        absolute = std::string(cwd) + "/" + path;
    }
    Split(absolute, parts);
    Walk walk;
    if (!walk.Restart()) {
        why = walk.why;
        return Fd();
    }
    int links = 0;
    while (!parts.empty()) {
        const std::string part = parts.front();
        parts.pop_front();
        if (part == "..") {
            Fd up(::openat(walk.folder.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (!walk.EnterFolder(std::move(up), Parent(walk.shown))) {
                why = walk.why;
                return Fd();
            }
            continue;
        }
        const std::string name = Joined(walk.shown, part);
        Fd item(::openat(walk.folder.Get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (item.Get() < 0 || ::fstat(item.Get(), &st) != 0) {
            why = name + " cannot be examined";
            return Fd();
        }
        if (S_ISLNK(st.st_mode)) {
            if (walk.shared) {
                why = "the symbolic link " + name + " lies in a folder other users can write";
                return Fd();
            }
            char target[PATH_MAX];
            const ssize_t n = ::readlinkat(walk.folder.Get(), part.c_str(), target, sizeof target);
            if (n <= 0 || n == static_cast<ssize_t>(sizeof target) || ++links > kMaxLinks) {
                why = name + " cannot be examined";
                return Fd();
            }
            const std::string to(target, static_cast<size_t>(n));
            Split(to, parts);
            if (to[0] == '/' && !walk.Restart()) {
                why = walk.why;
                return Fd();
            }
            continue;
        }
        if (!parts.empty()) {
            if (!walk.EnterFolder(std::move(item), name)) {
                why = walk.why;
                return Fd();
            }
            continue;
        }
        if (walk.shared) {
            why = "the folder " + walk.shown + " can be written by other users";
            return Fd();
        }
        // No other user can change the folder's entries now, so the name still means
        // the item judged above; O_NOFOLLOW and the checks below make sure of it.
        Fd file(::openat(walk.folder.Get(), part.c_str(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (file.Get() < 0 || ::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            why = name + " cannot be examined";
            return Fd();
        }
        if (st.st_uid != 0) {
            why = name + " is not owned by root";
            return Fd();
        }
        if (WritableByOthers(st)) {
            why = name + " can be written by other users";
            return Fd();
        }
        return file;
    }
    why = path + " cannot be examined";
    return Fd();
}

Exception Refusal(const std::string& why) {
    return Exception("refusing to apply a profile as root: " + why +
                     ", and the profile's script lines would run as root");
}

}  // namespace

std::string WhyUntrustedByRoot(const std::string& path) {
    std::string why;
    OpenJudged(path, why);
    return why;
}

TRootDataFile::TRootDataFile(const std::string& path) {
    std::string why;
    fd_ = OpenJudged(path, why).Release();
    if (fd_ < 0) {
        throw Refusal(why);
    }
}

TRootDataFile::~TRootDataFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::string TRootDataFile::OpenedPath() const {
    return "/proc/self/fd/" + std::to_string(fd_);
}

}  // namespace quorv::app
