#include "system/CommandLine.h"

namespace quorv::platform {

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n && IsSeparator(line[i])) {
        ++i;
    }
    if (i == n) {
        return args;
    }

    std::string program;
    if (line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"') {
            program += line[i++];
        }
        if (i < n) {
            ++i;
        }
    } else {
        while (i < n && !IsSeparator(line[i])) {
            program += line[i++];
        }
    }
    args.push_back(std::move(program));

    for (;;) {
        while (i < n && IsSeparator(line[i])) {
            ++i;
        }
        if (i == n) {
            break;
        }
        std::string arg;
        bool quoted = false;
        while (i < n) {
            char c = line[i];
            if (!quoted && IsSeparator(c)) {
                break;
            }
            if (c == '\\') {
                size_t count = 0;
                while (i < n && line[i] == '\\') {
                    ++count;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(count, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg += c;
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string EscapeInsideQuotes(std::string_view value) {
    std::string out;
    size_t backslashes = 0;
    for (char c : value) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
            out += '"';
        } else {
            out.append(backslashes, '\\');
            out += c;
        }
        backslashes = 0;
    }
    // Trailing backslashes would otherwise escape the closing quote.
    out.append(backslashes * 2, '\\');
    return out;
}

std::string QuoteArgument(std::string_view arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string_view::npos) {
        return std::string(arg);
    }
    return "\"" + EscapeInsideQuotes(arg) + "\"";
}

}  // namespace quorv::platform
