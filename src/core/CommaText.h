#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorv::apply {

// The comma lists of the profile columns IP and Mask, read and written with the classic
// comma-text rules. Reading: every character at or below the blank and every comma
// separates items; leading blanks are skipped; an item that starts with a double quote
// runs to the closing quote, a doubled quote inside standing for one. One comma after an
// item is part of the separator, so "a,,b" has an empty middle item while a trailing
// comma adds none. A NUL character ends the text.
std::vector<std::string> SplitCommaText(std::string_view text);

// Writing: items joined by ","; an item holding a blank, a control character, a quote
// or a comma is put in double quotes (inner quotes doubled); a single empty item is "".
std::string JoinCommaText(const std::vector<std::string>& items);

// Item n of a comma list, or "" when the text is empty or has no item n.
std::string CommaTextItem(std::string_view text, size_t n);

// Leading and trailing blanks and control characters removed (every byte at or below
// the blank).
std::string_view TrimBlanks(std::string_view text);

// Text lines as a memo holds them: CR LF, CR or LF end a line; a final line break adds
// no empty line. A NUL character ends the text.
std::vector<std::string> SplitLines(std::string_view text);

// Lines joined, each followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace quorv::apply
