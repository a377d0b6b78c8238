#include "system/DnsQuery.h"

#include <algorithm>

namespace quorv::platform {
namespace {

constexpr std::size_t kHeader = 12;
constexpr std::uint8_t kQuestion[] = {0x00, 0x00, 0x02, 0x00, 0x01};  // ".", NS, IN

std::uint16_t Word(const std::uint8_t* p) {
    return std::uint16_t((p[0] << 8) | p[1]);
}

}  // namespace

std::vector<std::uint8_t> DnsRootQuery(std::uint16_t id) {
    std::vector<std::uint8_t> query(kHeader + sizeof kQuestion, 0);
    query[0] = std::uint8_t(id >> 8);
    query[1] = std::uint8_t(id);
    query[5] = 1;  // one question
    std::copy(std::begin(kQuestion), std::end(kQuestion), query.begin() + kHeader);
    return query;
}

bool IsDnsReplyTo(const std::uint8_t* data, std::size_t size, std::uint16_t id) {
    if (size < kHeader || Word(data) != id) {
        return false;
    }
    const bool isReply = (data[2] & 0x80) != 0;
    const int opcode = (data[2] >> 3) & 0x0F;
    if (!isReply || opcode != 0) {
        return false;
    }
    // Servers that refuse or cannot parse may leave the question out; one that keeps it
    // must keep ours, or the datagram belongs to another exchange.
    const std::uint16_t questions = Word(data + 4);
    if (questions == 0) {
        return true;
    }
    if (questions != 1 || size < kHeader + sizeof kQuestion) {
        return false;
    }
    for (std::size_t i = 0; i < sizeof kQuestion; ++i) {
        if (data[kHeader + i] != kQuestion[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace quorv::platform
