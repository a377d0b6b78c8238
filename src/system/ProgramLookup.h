#pragma once

#include <string>

namespace quorv::platform {

// Where a command line's program is found. A name containing '/' is taken as given.
// A bare name is looked for in the program folder first, then in each PATH folder;
// where the exact name is missing, a trailing ".exe" is dropped (profiles written on
// Windows name netsh.exe), and in the program folder a name differing only in letter
// case is accepted (Windows names are case-blind: IPCONFIG finds ipconfig).
// Returns the path of an executable regular file, or "" when there is none.
std::string FindProgram(const std::string& name, const std::string& programFolder);

// The same search over PATH alone (used for helpers such as the terminal emulator).
std::string FindInPath(const std::string& name);

// A system program from the fixed system folders, never from PATH: netsh runs as root,
// where PATH is the caller's to set. "" when there is none.
std::string FindSystemProgram(const std::string& name);

}  // namespace quorv::platform
