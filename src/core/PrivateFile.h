#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorv::app {

// Gives `path` the content `bytes` as a new file of mode 0600, unless a file of that
// name exists already: then it is left alone and the answer is false. The content is
// written and synced through a descriptor of a file nobody else can have named (an
// unnamed file, or a fresh random name where the file system has none) and only then
// linked under `path`, so neither a symlink planted in a writable folder nor a crash can
// make a half-written or foreign file the result. Failures raise EDatabaseError.
bool InstallPrivateFile(const std::string& path, const std::vector<uint8_t>& bytes);

// The way without unnamed files: a random name made with O_EXCL (which never follows a
// symlink, mkostemp), written through its descriptor, linked, and checked to be the
// file that was written.
bool InstallPrivateFileByRandomName(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace quorv::app
