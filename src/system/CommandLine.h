#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorv::platform {

// Splits a command line into argv the way Windows programs receive it: blanks and tabs
// separate arguments, double quotes group and are removed, and backslashes are literal
// unless they precede a double quote (2n backslashes + quote: n backslashes and a
// grouping quote; 2n+1: n backslashes and a literal quote). Inside a quoted part, ""
// is a literal quote. The program name (argv[0]) runs to the next blank, or, when it
// starts with a quote, to the next quote; backslashes are not special in it.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Quotes one argument so that SplitCommandLine gives it back unchanged. Text without
// blanks, tabs or quotes is returned as it is.
std::string QuoteArgument(std::string_view arg);

// The quoted form of a value already standing between double quotes in a command
// line: quotes and the backslashes before them, and trailing backslashes, are escaped.
std::string EscapeInsideQuotes(std::string_view value);

}  // namespace quorv::platform
