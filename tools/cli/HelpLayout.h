#pragma once

#include <string>
#include <vector>

namespace quorv::cli {

// Text laid out for an 80-column terminal, as qic's usage and help show it.

// Pieces joined by blanks, wrapped so that lines stay under 80 columns where a piece
// allows; the first line starts with `first`, the others with `next`. Ends with a line
// break.
std::string Wrapped(const std::vector<std::string>& pieces, const std::string& first,
                    const std::string& next);

// The words of a text, for Wrapped.
std::vector<std::string> Words(const std::string& text);

// A usage entry: the synopsis wrapped, the summary in a column beside it (below it when the
// synopsis reaches that column).
std::string UsageEntry(const std::vector<std::string>& synopsis, const std::string& summary);

}  // namespace quorv::cli
