#pragma once

#include <string>

namespace quorv::platform {

// Folder of the running executable, with a trailing '/'. The data file, the settings
// file, the Language folder and the companion tools (netsh, ipconfig) live there.
std::string ProgramFolder();

}  // namespace quorv::platform
