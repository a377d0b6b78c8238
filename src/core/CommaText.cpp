#include "core/CommaText.h"

namespace quorv::apply {

namespace {

// NUL ends the text, so it is not counted as a blank here.
bool IsBlank(char c) {
    auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= ' ';
}

std::string_view UpToNul(std::string_view text) {
    size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

}  // namespace

std::vector<std::string> SplitCommaText(std::string_view text) {
    text = UpToNul(text);
    std::vector<std::string> items;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && IsBlank(text[i])) {
        ++i;
    }
    while (i < n) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            size_t start = i;
            while (i<n&& static_cast<unsigned char>(text[i])> ' ' && text[i] != ',') {
                ++i;
            }
            item.assign(text.substr(start, i - start));
        }
        items.push_back(std::move(item));
        while (i < n && IsBlank(text[i])) {
            ++i;
        }
        if (i < n && text[i] == ',') {
            do {
                ++i;
            } while (i < n && IsBlank(text[i]));
        }
    }
    return items;
}

std::string JoinCommaText(const std::vector<std::string>& items) {
    if (items.size() == 1 && items[0].empty()) {
        return "\"\"";
    }
    std::string out;
    for (size_t k = 0; k < items.size(); ++k) {
        if (k > 0) {
            out += ',';
        }
        const std::string& item = items[k];
        bool quote = false;
        for (char c : UpToNul(item)) {
            if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == ',') {
                quote = true;
                break;
            }
        }
        if (!quote) {
            out += item;
            continue;
        }
        out += '"';
        for (char c : item) {
            out += c;
            if (c == '"') {
                out += '"';
            }
        }
        out += '"';
    }
    return out;
}

std::string CommaTextItem(std::string_view text, size_t n) {
    if (text.empty()) {
        return {};
    }
    std::vector<std::string> items = SplitCommaText(text);
    return n < items.size() ? items[n] : std::string();
}

std::string_view TrimBlanks(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::vector<std::string> SplitLines(std::string_view text) {
    text = UpToNul(text);
    std::vector<std::string> lines;
    size_t i = 0;
    while (i < text.size()) {
        size_t start = i;
        while (i < text.size() && text[i] != '\r' && text[i] != '\n') {
            ++i;
        }
        lines.emplace_back(text.substr(start, i - start));
        if (i < text.size() && text[i] == '\r') {
            ++i;
        }
        if (i < text.size() && text[i] == '\n') {
            ++i;
        }
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

}  // namespace quorv::apply
