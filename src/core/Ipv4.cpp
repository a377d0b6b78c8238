#include "core/Ipv4.h"

namespace quorv::apply {

std::optional<Ipv4> ParseIpv4(std::string_view text) {
    Ipv4 result = 0;
    int parts = 0;
    std::size_t pos = 0;
    while (parts < 4) {
        std::size_t start = pos;
        unsigned value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
            value = value * 10 + unsigned(text[pos] - '0');
            ++pos;
        }
        std::size_t digits = pos - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) {
            return std::nullopt;
        }
        result = (result << 8) | value;
        ++parts;
        if (parts < 4) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return result;
}

std::string FormatIpv4(Ipv4 address) {
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xff) + '.' +
           std::to_string((address >> 8) & 0xff) + '.' + std::to_string(address & 0xff);
}

std::optional<int> MaskToPrefix(Ipv4 mask) {
    Ipv4 inverted = ~mask;
    // A contiguous mask leaves a run of low ones when inverted.
    if ((inverted & (inverted + 1)) != 0) {
        return std::nullopt;
    }
    int prefix = 0;
    while (prefix < 32 && (mask & (0x80000000u >> prefix)) != 0) {
        ++prefix;
    }
    return prefix;
}

Ipv4 PrefixToMask(int prefix) {
    if (prefix <= 0) {
        return 0;
    }
    if (prefix >= 32) {
        return 0xffffffffu;
    }
    return ~((1u << (32 - prefix)) - 1);
}

}  // namespace quorv::apply
