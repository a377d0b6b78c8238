#pragma once

#include <cstddef>
#include <string_view>

namespace quorv::store {

// The longest prefix of text that fits in maxBytes and does not end inside a UTF-8
// character. Bytes that are not valid UTF-8 are treated as characters of their own.
std::string_view Utf8Truncate(std::string_view text, size_t maxBytes);

}  // namespace quorv::store
