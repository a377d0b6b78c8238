#pragma once

#include <string>

namespace quorv::app {

// Why root must not take its orders from the data file at `path`, or "" when it may. The
// script lines in a data file run with the caller's rights, so a root-run apply refuses,
// as sudo and ssh do, a file that another user can write or replace: one that is not
// owned by root, that group or others may write, or that lies in such a folder (a folder
// above it may be shared when its sticky bit keeps others from renaming what is in it),
// and a path that passes through a symbolic link in a folder others can write.
std::string WhyUntrustedByRoot(const std::string& path);

// The data file as root opened it for an apply, judged by the descriptor that was opened
// rather than by its name: the path is walked one component at a time from "/" without
// following anything unjudged, so a link swapped between the check and the read cannot
// hand root another file.
class TRootDataFile {
  public:
    // Throws quorv::Exception with the refusal when root must not use the file.
    explicit TRootDataFile(const std::string& path);
    ~TRootDataFile();
    TRootDataFile(const TRootDataFile&) = delete;
    TRootDataFile& operator=(const TRootDataFile&) = delete;

    // A name of the very file that was judged (/proc/self/fd/N), for the store to open.
    std::string OpenedPath() const;

  private:
    int fd_ = -1;
};

}  // namespace quorv::app
