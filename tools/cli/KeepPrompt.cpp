#include "cli/KeepPrompt.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "base/Exception.h"

namespace quorv::cli {

namespace {

constexpr int kWatched[] = {SIGINT, SIGTERM, SIGHUP};

int signalPipe[2] = {-1, -1};
struct sigaction previous[3];

void Note(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already says a signal came.
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

std::string Filled(const std::string& text, const std::string& value) {
    std::string out = text;
    if (auto at = out.find("%1"); at != std::string::npos) {
        out.replace(at, 2, value);
    }
    return out;
}

bool IsYes(std::string line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
        line.pop_back();
    }
    const auto start = line.find_first_not_of(" \t");
    line = start == std::string::npos ? "" : line.substr(start);
    for (char& c : line) {
        c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return line == "y" || line == "yes";
}

// The question with the seconds left, the count padded to the width of the first one so that a
// rewrite covers the old text exactly.
std::string Prompt(const apply::SafeTexts& texts, long secondsLeft, size_t countWidth) {
    std::string count = std::to_string(secondsLeft);
    if (count.size() < countWidth) {
        count.insert(0, countWidth - count.size(), ' ');
    }
    return texts.msgKeepSettings + " [y/N] (" + Filled(texts.msgKeepCountdown, count) + ") ";
}

// Whether the prompt can be rewritten in place: only on a terminal, and only while it fits on
// one row, since a carriage return goes back no further than the row's start. Wide characters
// are counted as two columns.
bool CanTick(const std::string& prompt) {
    if (::isatty(STDERR_FILENO) != 1) {
        return false;
    }
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) {
        return false;
    }
    // A terminal that never was given a size is taken to be wide enough.
    if (size.ws_col == 0) {
        return true;
    }
    size_t columns = 0;
    for (unsigned char c : prompt) {
        if (c < 0x80) {
            ++columns;
        } else if (c >= 0xC0) {
            columns += 2;
        }
    }
    return columns < size.ws_col;
}

}  // namespace

SignalWatch::SignalWatch() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw quorv::Exception("cannot watch for signals: " + std::string(strerror(errno)));
    }
    struct sigaction action {};
    action.sa_handler = Note;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kWatched[i], &action, &previous[i]);
    }
}

SignalWatch::~SignalWatch() {
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kWatched[i], &previous[i], nullptr);
    }
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

int SignalWatch::Fd() const {
    return signalPipe[0];
}

bool SignalWatch::Caught() const {
    pollfd fd{signalPipe[0], POLLIN, 0};
    return ::poll(&fd, 1, 0) > 0;
}

bool CanAskOnTerminal() {
    return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1;
}

apply::KeepAnswer AskOnTerminal(const apply::KeepQuestion& question, const apply::SafeTexts& texts,
                                const SignalWatch& signals, std::ostream& err) {
    using Clock = std::chrono::steady_clock;
    for (const platform::ReachResult& check : question.checks) {
        err << apply::CheckLine(check, texts) << '\n';
    }
    const size_t countWidth = std::to_string(question.secondsLeft).size();
    const std::string first = Prompt(texts, question.secondsLeft, countWidth);
    err << first << std::flush;
    if (signals.Caught()) {
        err << std::endl;
        return apply::KeepAnswer::Restore;
    }
    const bool tick = CanTick(first);
    long shown = question.secondsLeft;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(question.secondsLeft);
    std::string line;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            err << std::endl;
            return apply::KeepAnswer::TimedOut;
        }
        const long seconds = (left + 999) / 1000;
        if (tick && seconds != shown) {
            shown = seconds;
            // Cursor saved and put back, so that what the user has typed so far stays where
            // it is, after the prompt, and the terminal keeps it for the read.
            err << "\0337\r" << Prompt(texts, seconds, countWidth) << "\0338" << std::flush;
        }
        // Woken for the next whole second when the count shows.
        const long wait = tick ? left - (seconds - 1) * 1000 : left;
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {signals.Fd(), POLLIN, 0}};
        const int ready = ::poll(fds, 2, int(wait));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || fds[1].revents != 0) {
            err << std::endl;
            return apply::KeepAnswer::Restore;
        }
        if (fds[0].revents == 0) {
            continue;
        }
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            // End of input or a hang-up: nobody is there to keep anything.
            err << std::endl;
            return apply::KeepAnswer::Restore;
        }
        line.append(buffer, size_t(n));
        if (const auto end = line.find('\n'); end != std::string::npos) {
            return IsYes(line.substr(0, end)) ? apply::KeepAnswer::Keep
                                              : apply::KeepAnswer::Restore;
        }
        // A line longer than any answer is no "yes".
        if (line.size() > 64) {
            return apply::KeepAnswer::Restore;
        }
    }
}

}  // namespace quorv::cli
