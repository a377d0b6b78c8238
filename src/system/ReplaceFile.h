#pragma once

#include <string>
#include <string_view>

namespace quorv::platform {

// The permissions a replaced file gets.
enum class TFileMode {
    KeepExisting,  // the old file's mode; a new file gets 0666 less the umask
    Private,       // 0600, or the old file's where it allows less: profiles and scripts
};

// Replaces the file at `path` with `bytes` as a whole: they go to a new file in the same
// folder, which is synced and then renamed over the name, so a reader, a crash or a full
// disk leaves the old file or the new one, never a mix, and other names of the old file
// (hard links) keep the old contents. A symbolic link at `path` is refused rather than
// written through, since whoever owns the link would choose what gets replaced.
// Throws quorv::Exception "Cannot write "PATH": REASON."
void ReplaceFile(const std::string& path, std::string_view bytes, TFileMode mode);

}  // namespace quorv::platform
