#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorv::platform {

// True when a graphical session is reachable (X11 or Wayland).
bool HasDisplay();

// The arguments that open the desktop's terminal emulator running a program: the
// terminal's path followed by its "run this" option, if it needs one. Tried in order:
// x-terminal-emulator, $TERMINAL, then common terminal emulators found on PATH.
std::optional<std::vector<std::string>> TerminalPrefix();

}  // namespace quorv::platform
