#include "core/DottedQuad.h"

#include <string>

#include "core/CommaText.h"

namespace quorv::dialogs {

namespace {

// Digits only: a sign, hex prefix or letters would make the runtime's integer
// conversion fail or accept what is no octet.
bool IsOctet(const std::string& item) {
    if (item.empty()) {
        return false;
    }
    unsigned value = 0;
    for (char c : item) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 255) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsValidDottedQuad(std::string_view text) {
    std::string commas(text);
    for (char& c : commas) {
        if (c == '.') {
            c = ',';
        }
    }
    const std::vector<std::string> items = apply::SplitCommaText(commas);
    if (items.size() != 4) {
        return false;
    }
    for (const std::string& item : items) {
        if (!IsOctet(item)) {
            return false;
        }
    }
    return true;
}

}  // namespace quorv::dialogs
