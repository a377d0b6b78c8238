#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quorv::storetool {

// Runs one quorv-store command (args without the program name). Results go to `out`
// as JSON, store failures to `err`. Exit codes: 0 done, 1 nothing found / problems found
// (find, check) or records skipped as damaged (dump, find, info; one line each on `err`),
// 2 failure.
int RunStoreTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quorv::storetool
