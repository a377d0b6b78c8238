#include "core/Options.h"

#include <climits>

#include "base/Exception.h"

namespace quorv::apply {

bool OptionIsTrue(const OptionValue& value, bool whenMissing) {
    return value ? *value == "1" : whenMissing;
}

bool ShowScriptWindow(const OptionValue& value) {
    return OptionIsTrue(value, true);
}

bool AfterIPInfo(const OptionValue& value) {
    return OptionIsTrue(value, false);
}

int DblClickAction(const OptionValue& value) {
    return value ? StrToInt(*value) : 0;
}

int StrToInt(std::string_view text) {
    auto fail = [&]() -> int {
        throw Exception("'" + std::string(text) + "' is not a valid integer value");
    };
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        return fail();
    }
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return fail();
        }
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            return fail();
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX || value < INT_MIN) {
        return fail();
    }
    return static_cast<int>(value);
}

}  // namespace quorv::apply
