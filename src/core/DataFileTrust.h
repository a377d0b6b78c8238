#pragma once

#include <string>

namespace quorv::app {

// Why root must not take its orders from the data file at `path`, or "" when it may. The
// script lines in a data file run with the caller's rights, so a root-run apply refuses,
// as sudo and ssh do, a file that another user can write or replace: one that is not
// owned by root, that group or others may write, or that lies in such a folder (a folder
// above it may be shared when its sticky bit keeps others from renaming what is in it).
std::string WhyUntrustedByRoot(const std::string& path);

// Throws quorv::Exception with the reason when the caller is root and the data file at
// `path` is one WhyUntrustedByRoot refuses; the window and qic call it before applying.
void CheckRootMayApply(const std::string& path);

}  // namespace quorv::app
