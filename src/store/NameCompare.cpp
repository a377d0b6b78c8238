#include "store/NameCompare.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "store/processing/ProcessRegistry.h"

namespace quorv::store {

namespace {

bool IsAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// The next code point of UTF-8 text; a byte that starts no valid sequence stands for
// itself (as a value no code point has), so ill-formed names still compare bytewise.
UChar32 NextCodePoint(std::string_view s, size_t& i) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const auto length = static_cast<int32_t>(s.size());
    auto at = static_cast<int32_t>(i);
    const int32_t start = at;
    UChar32 c;
    U8_NEXT(p, at, length, c);
    if (c < 0) {
        at = start + 1;
        c = 0x110000 + p[start];
    }
    i = static_cast<size_t>(at);
    return c;
}

UChar32 SimpleFold(UChar32 c) {
    return c < 0x110000 ? u_foldCase(c, U_FOLD_CASE_DEFAULT) : c;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {
        return SameAlgoName(a, b);
    }
    // Code point by code point, with one-to-one case mappings only: other writers of the
    // format never expand "ß" to "ss", so names that differ so are different names.
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (SimpleFold(NextCodePoint(a, i)) != SimpleFold(NextCodePoint(b, j))) {
            return false;
        }
    }
    return i == a.size() && j == b.size();
}

bool IsValidName(std::string_view name) {
    if (name.empty()) {
        return false;
    }
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 32) {
            return false;
        }
    }
    return true;
}

}  // namespace quorv::store
