#include "core/NetshReport.h"

#include <charconv>

namespace quorv::apply {

namespace {

bool Take(std::string_view& text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) {
        return false;
    }
    text.remove_prefix(prefix.size());
    return true;
}

bool TakeNumber(std::string_view& text, int& number) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end == text.data()) {
        return false;
    }
    text.remove_prefix(std::size_t(end - text.data()));
    return true;
}

}  // namespace

int NetshReport::Read(std::string_view text) {
    static constexpr std::string_view kPhases[] = {"address", "gateway", "dns"};
    if (Take(text, "done: ")) {
        for (int i = 0; i < 3; ++i) {
            // A part is done with every part before it.
            if (text == kPhases[i] && i + 1 > phases_) {
                phases_ = i + 1;
            }
        }
        return phases_;
    }
    if (Take(text, "snapshot: failed: ")) {
        // The reason is never empty, so that an empty one cannot read as no failure.
        snapshotFailure_ = text.empty() ? std::string("no reason given") : std::string(text);
        return phases_;
    }
    // netsh undid its change when it could leave no watchdog: as good as no snapshot.
    if (Take(text, "pending: failed: ")) {
        snapshotFailure_ = text.empty() ? std::string("no reason given") : std::string(text);
        return phases_;
    }
    if (Take(text, "pending: ")) {
        const auto blank = text.find(' ');
        std::string_view id = text.substr(0, blank);
        std::string_view rest = blank == std::string_view::npos ? "" : text.substr(blank + 1);
        int seconds = 0;
        if (!id.empty() && TakeNumber(rest, seconds) && rest.empty() && seconds > 0) {
            pendingId_ = std::string(id);
            pendingSeconds_ = seconds;
        }
        return phases_;
    }
    int number = 0;
    if (!Take(text, "line ") || !TakeNumber(text, number) || !Take(text, ": ") || number < 1 ||
        std::size_t(number) > lines_.size()) {
        return phases_;
    }
    Line said;
    int after = 0;
    if (text == "ok") {
        said.state = State::Ok;
    } else if (text == "no lease") {
        said.state = State::NoLease;
    } else if (Take(text, "failed: ")) {
        said.state = State::Failed;
        said.reason = std::string(text);
    } else if (Take(text, "not run: line ") && TakeNumber(text, after) && text == " failed") {
        said.state = State::NotRun;
        said.after = after;
    } else {
        return phases_;
    }
    lines_[std::size_t(number) - 1] = std::move(said);
    return phases_;
}

}  // namespace quorv::apply
