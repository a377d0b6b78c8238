#pragma once

#include <string>

#include "system/Process.h"

namespace quorv::platform {

// Starts a user's command line (split with the Windows rules, no shell) without waiting
// for it. Hidden: detached, stdio on /dev/null. Shown: detached inside the desktop's
// terminal emulator; without a display or a terminal emulator it runs hidden. Returns
// whether the program was started.
bool WinExec(const std::string& commandLine, bool shown, const LaunchOptions& options = {});

}  // namespace quorv::platform
