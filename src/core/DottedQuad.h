#pragma once

#include <string_view>

namespace quorv::dialogs {

// The dialogs' check of an address or mask: the dots become commas, the text is split by
// comma-text rules, and it is valid exactly when that gives four non-empty items, each a
// decimal number below 256.
bool IsValidDottedQuad(std::string_view text);

}  // namespace quorv::dialogs
