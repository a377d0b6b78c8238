#pragma once

#include <string>
#include <vector>

#include "core/Profile.h"

namespace quorv::cli {

// Text for a terminal: C0 controls and DEL as \xNN, C1 controls as \u00NN, so stored text
// cannot steer the terminal or break a line or column apart.
std::string Escaped(const std::string& text);

// A JSON string literal; bytes that are not UTF-8 become U+FFFD, so the output always
// parses; control characters, C1 ones included, are escaped.
std::string JsonString(const std::string& text);

// Every column, in table order.
std::string ProfileJson(const apply::Profile& p);

// One `qic list` line (no line break): Name, first IP, first mask, Gateway, DNS1, DNS2,
// Interface, tab-separated.
std::string ListLine(const apply::Profile& p);

// `qic show`: one "Column: value" line per column, the script's lines indented below.
std::string ShowText(const apply::Profile& p);

// What `qic apply --dry-run` prints: the netsh command lines, "script: " and each
// non-blank script line, "printer: " and the printer when one is set.
std::vector<std::string> DryRunLines(const apply::Profile& p);

}  // namespace quorv::cli
