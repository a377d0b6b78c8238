#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorv::storetool {

// A JSON string literal of text that may hold invalid UTF-8 (stored bytes are not
// trusted): every invalid byte becomes U+FFFD, so the output is always valid UTF-8.
std::string JsonString(std::string_view text);
// A number; NaN and infinities, which JSON cannot hold, become null.
std::string JsonNumber(double value);
std::string Base64(std::string_view bytes);

}  // namespace quorv::storetool
