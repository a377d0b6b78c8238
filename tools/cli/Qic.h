#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quorv::cli {

// The whole program: arguments without the program name; results on out, messages and
// progress on err. Returns the exit status.
int RunQic(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quorv::cli
