#include "system/CommandCapture.h"

#include <chrono>
#include <utility>

#include "system/Subprocess.h"

namespace quorv::apply {

namespace {

size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// The range the second byte must lie in: the narrower ones exclude overlong forms,
// surrogates and code points above U+10FFFF.
bool SecondByteFits(unsigned char lead, unsigned char second) {
    unsigned char low = 0x80, high = 0xBF;
    if (lead == 0xE0) {
        low = 0xA0;
    } else if (lead == 0xED) {
        high = 0x9F;
    } else if (lead == 0xF0) {
        low = 0x90;
    } else if (lead == 0xF4) {
        high = 0x8F;
    }
    return second >= low && second <= high;
}

// How many bytes at the start of `text` form a well-formed prefix of one character.
size_t WellFormedPrefix(std::string_view text, size_t length) {
    size_t i = 1;
    while (i < length && i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool fits = i == 1 ? SecondByteFits(static_cast<unsigned char>(text[0]), c)
                                 : (c >= 0x80 && c <= 0xBF);
        if (!fits) {
            break;
        }
        ++i;
    }
    return i;
}

}  // namespace

std::string CapturedText(std::string_view bytes, bool cutAtLimit) {
    if (const size_t nul = bytes.find('\0'); nul != std::string_view::npos) {
        bytes = bytes.substr(0, nul);
    } else if (cutAtLimit) {
        // A character the limit cut short is dropped whole rather than shown as U+FFFD.
        for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
            const std::string_view tail = bytes.substr(bytes.size() - back);
            const size_t length = SequenceLength(static_cast<unsigned char>(tail[0]));
            if (length > 1) {
                if (length > back && WellFormedPrefix(tail, length) == back) {
                    bytes.remove_suffix(back);
                }
                break;
            }
            if (length == 1 || (static_cast<unsigned char>(tail[0]) & 0xC0) != 0x80) {
                break;
            }
        }
    }

    std::string text;
    text.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const std::string_view rest = bytes.substr(i);
        const size_t length = SequenceLength(static_cast<unsigned char>(rest[0]));
        if (length == 1) {
            text += rest[0];
            ++i;
            continue;
        }
        const size_t good = length == 0 ? 1 : WellFormedPrefix(rest, length);
        if (length != 0 && good == length) {
            text.append(rest.substr(0, length));
        } else {
            // One replacement for each maximal ill-formed part, as decoders commonly do.
            text += "\xEF\xBF\xBD";
        }
        i += good;
    }
    return text;
}

CapturedOutput CaptureCommand(const std::vector<std::string>& args,
                              const std::function<void()>& betweenPasses,
                              const CaptureLimits& limits, const platform::LaunchOptions& options) {
    CapturedOutput out;
    platform::FoundCommand command = platform::FindCommand(args, options);
    if (!command.error.empty()) {
        return out;
    }
    platform::SpawnRequest request{std::move(command.args)};
    request.output = platform::Sink::Capture;
    request.keepBytes = limits.maxBytes;
    platform::Subprocess child(request);
    if (!child.Started()) {
        return out;
    }
    out.started = true;
    out.pid = child.Pid();
    while (out.passes < limits.passes && !out.ended) {
        ++out.passes;
        out.ended = child.WaitUntil(platform::Subprocess::Clock::now() +
                                    std::chrono::milliseconds(limits.passMs));
        if (betweenPasses) {
            betweenPasses();
        }
        child.TakeAvailable();
    }
    const std::string& bytes = child.Output();
    out.text = CapturedText(bytes, bytes.size() >= limits.maxBytes);
    return out;
}

}  // namespace quorv::apply
