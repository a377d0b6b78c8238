#include "store/Utf8.h"

namespace quorv::store {

namespace {

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the sequence a lead byte announces; 1 for bytes that cannot lead one.
size_t SequenceLength(unsigned char c) {
    if (c >= 0xF0 && c <= 0xF4) {
        return 4;
    }
    if (c >= 0xE0 && c < 0xF0) {
        return 3;
    }
    if (c >= 0xC2 && c < 0xE0) {
        return 2;
    }
    return 1;
}

}  // namespace

std::string_view Utf8Truncate(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    // Step back to the start of the character that the cut falls into (at most 3 bytes).
    size_t start = maxBytes;
    while (start > 0 && maxBytes - start < 3 &&
           IsContinuation(static_cast<unsigned char>(text[start]))) {
        --start;
    }
    if (start == maxBytes) {
        return text.substr(0, maxBytes);
    }
    const auto lead = static_cast<unsigned char>(text[start]);
    const size_t len = SequenceLength(lead);
    // A real lead byte whose sequence would cross the cut: drop the whole character.
    if (len > 1 && start + len > maxBytes) {
        return text.substr(0, start);
    }
    return text.substr(0, maxBytes);
}

}  // namespace quorv::store
