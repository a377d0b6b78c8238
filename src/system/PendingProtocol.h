#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "system/PendingChange.h"

namespace quorv::platform {

// The words between netsh's watchdog and its clients: the client writes one request line,
// the watchdog answers one line. Shared so that both sides agree on every byte.

// Abstract socket names start with this, then the change's ID; a leading NUL makes them
// abstract, so they vanish with the watchdog and belong to its network namespace.
inline constexpr std::string_view kPendingSocketPrefix = "quorv-netsh/pending/";
// Lines longer than this are nobody's request or answer.
inline constexpr std::size_t kPendingLineMax = 256;

// 32 lowercase hexadecimal digits, as netsh makes them; anything else never reaches a socket.
bool IsPendingId(std::string_view id);

// The IDs of the listening watchdog sockets in a /proc/net/unix text, each once.
std::vector<std::string> PendingIdsIn(std::string_view procNetUnix);

// "pending IFNAME SECONDS_LEFT", a watchdog's answer to "status"; nothing when it is not one.
std::optional<PendingChange> ParseStatus(const std::string& id, std::string_view line);

// "kept", "restored: PARTS" or "failed: REASON"; any other line is a failure of its own.
PendingAnswer ParseAnswer(std::string_view line);

// One line from fd without its line break, read within timeout; nothing when the line did not
// end in time, was longer than kPendingLineMax, or the peer closed first.
std::optional<std::string> ReadPendingLine(int fd, std::chrono::milliseconds timeout);

// The whole of text with a line break after it; false when the peer is gone.
bool WritePendingLine(int fd, const std::string& text);

}  // namespace quorv::platform
