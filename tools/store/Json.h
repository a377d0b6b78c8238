#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace quorv::storetool {

// Objects keep their keys in the order they are added, so records list "recno" and then
// their fields in table order, as a reader of the file sees them.
using Json = nlohmann::ordered_json;

// Compact JSON text of a value. Stored bytes are not trusted: each invalid UTF-8 sequence
// becomes U+FFFD, so the output always parses.
std::string JsonText(const Json& value);

// Adds a key even when the object holds it already: a field named like another, or like
// "recno", is shown beside it, not merged into it.
void AppendMember(Json& object, const std::string& key, Json value);

// A JSON string literal of text that may hold invalid UTF-8.
inline std::string JsonString(std::string_view text) {
    return JsonText(Json(text));
}
// A number; NaN and infinities, which JSON cannot hold, become null.
inline std::string JsonNumber(double value) {
    return JsonText(Json(value));
}

std::string Base64(std::string_view bytes);

}  // namespace quorv::storetool
