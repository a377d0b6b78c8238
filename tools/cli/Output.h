#pragma once

#include <string>
#include <vector>

#include "core/Profile.h"

namespace quorv::cli {

// C0 controls and DEL: what Quoted hides and Escaped shows as \xNN.
bool IsControl(char c);

// Text for a terminal: C0 controls and DEL as \xNN, C1 controls as \u00NN, so stored text
// cannot steer the terminal or break a line or column apart.
std::string Escaped(const std::string& text);

// User text for a message: in double quotes, control characters (C1 ones too) shown as
// "?", cut after 80 bytes, so a hostile argument cannot flood or steer the terminal.
std::string Quoted(const std::string& text);

// A message that names an argument as given: control characters as "?", cut after 200
// bytes.
std::string Printable(const std::string& text);

// An error message for the terminal: every control character but line breaks and tabs
// as "?", since errors quote names and sections from files.
std::string ForTerminal(const std::string& text);

// `qic show --json`: every column, in table order, as {"Num": 1, "Name": "x", ...}, written
// by QJsonDocument. Text that is not UTF-8 becomes U+FFFD, so the output always parses;
// control characters, C1 ones included, are escaped.
std::string ProfileJson(const apply::Profile& p);

// `qic list --json`: an array of ProfileJson objects, one to a line.
std::string ProfileListJson(const std::vector<apply::Profile>& list);

// One `qic list` line (no line break): Name, first IP, first mask, Gateway, DNS1, DNS2,
// Interface, tab-separated.
std::string ListLine(const apply::Profile& p);

// `qic show`: one "Column: value" line per column, the script's lines indented below.
std::string ShowText(const apply::Profile& p);

// What `qic apply --dry-run` prints: the netsh command lines, "script: " and each
// non-blank script line, "printer: " and the printer when one is set.
std::vector<std::string> DryRunLines(const apply::Profile& p);

}  // namespace quorv::cli
