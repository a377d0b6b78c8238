#include "cli/HelpLayout.h"

namespace quorv::cli {

namespace {

constexpr size_t kWidth = 80;
constexpr size_t kSummaryAt = 32;  // the column summaries start in

std::vector<std::string> Lines(const std::vector<std::string>& pieces, const std::string& first,
                               const std::string& next) {
    std::vector<std::string> lines{first};
    bool empty = true;
    for (const std::string& piece : pieces) {
        if (!empty && lines.back().size() + 1 + piece.size() >= kWidth) {
            lines.push_back(next);
            empty = true;
        }
        lines.back() += (empty ? "" : " ") + piece;
        empty = false;
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + '\n';
    }
    return text;
}

}  // namespace

std::string Wrapped(const std::vector<std::string>& pieces, const std::string& first,
                    const std::string& next) {
    return Joined(Lines(pieces, first, next));
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > start) {
            words.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return words;
}

std::string UsageEntry(const std::vector<std::string>& synopsis, const std::string& summary) {
    std::vector<std::string> lines = Lines(synopsis, "  ", "      ");
    const std::string column(kSummaryAt, ' ');
    std::vector<std::string> beside = Lines(Words(summary), column, column);
    if (lines.back().size() < kSummaryAt - 1) {
        lines.back() += beside.front().substr(lines.back().size());
        beside.erase(beside.begin());
    }
    lines.insert(lines.end(), beside.begin(), beside.end());
    return Joined(lines);
}

}  // namespace quorv::cli
