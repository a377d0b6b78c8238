#include "store/NameCompare.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

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

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {
        return SameAlgoName(a, b);
    }
    const auto ua = icu::UnicodeString::fromUTF8(icu::StringPiece(a.data(), a.size()));
    const auto ub = icu::UnicodeString::fromUTF8(icu::StringPiece(b.data(), b.size()));
    return ua.caseCompare(ub, U_FOLD_CASE_DEFAULT) == 0;
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
