#include "system/CommandCapture.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "system/Spawn.h"

namespace quorv::apply {

namespace {

using Clock = std::chrono::steady_clock;

// Without a pidfd the end of the command is noticed by polling this often.
constexpr int kExitPollMs = 10;

// Reads what the pipe holds now, keeping what fits under the limit.
// Returns false at end of file or on a read error.
bool Drain(int fd, std::string& into, size_t maxBytes) {
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            const size_t room = maxBytes - std::min(maxBytes, into.size());
            into.append(chunk, std::min(static_cast<size_t>(n), room));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n < 0 && errno == EAGAIN;
    }
}

// The window must not wait for a command that outlived the capture, yet its exit
// status must be collected, or it would stay a zombie for the rest of the run.
void ReapLater(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

bool Reaped(pid_t pid) {
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(pid, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    // ECHILD means somebody else collected it: it has ended all the same.
    return done == pid || (done < 0 && errno == ECHILD);
}

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

CapturedOutput CaptureCommand(const std::string& commandLine,
                              const std::function<void()>& betweenPasses,
                              const CaptureLimits& limits, const platform::LaunchOptions& options) {
    CapturedOutput out;
    const platform::ResolvedCommand command = platform::ResolveCommandLine(commandLine, options);
    if (!command.error.empty()) {
        return out;
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return out;
    }
    const int readEnd = ends[0];
    // The command's end blocks like an ordinary standard output.
    ::fcntl(ends[1], F_SETFL, 0);
    out.pid = platform::SpawnHidden(command.args, ends[1], -1);
    ::close(ends[1]);
    if (out.pid < 0) {
        ::close(readEnd);
        out.pid = -1;
        return out;
    }
    out.started = true;

    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, out.pid, 0));
    std::string bytes;
    bool pipeOpen = true;
    while (out.passes < limits.passes) {
        ++out.passes;
        // Output is taken as it comes, so a large one never stalls on a full pipe.
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limits.passMs);
        for (;;) {
            pollfd fds[2];
            nfds_t count = 0;
            if (pipeOpen) {
                fds[count++] = {readEnd, POLLIN, 0};
            }
            if (pidFd >= 0) {
                fds[count++] = {pidFd, POLLIN, 0};
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            int timeout = static_cast<int>(std::max<long long>(0, left));
            if (pidFd < 0) {
                timeout = std::min(timeout, kExitPollMs);
            }
            (void)::poll(fds, count, timeout);
            if (pipeOpen) {
                pipeOpen = Drain(readEnd, bytes, limits.maxBytes);
            }
            if (Reaped(out.pid)) {
                out.ended = true;
                break;
            }
            if (Clock::now() >= deadline) {
                break;
            }
        }
        if (betweenPasses) {
            betweenPasses();
        }
        if (pipeOpen) {
            pipeOpen = Drain(readEnd, bytes, limits.maxBytes);
        }
        if (out.ended) {
            break;
        }
    }
    ::close(readEnd);
    if (pidFd >= 0) {
        ::close(pidFd);
    }
    if (!out.ended) {
        ReapLater(out.pid);
    }
    out.text = CapturedText(bytes, bytes.size() >= limits.maxBytes);
    return out;
}

}  // namespace quorv::apply
