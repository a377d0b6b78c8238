#include "cli/Output.h"

#include <QString>
#include <cstdio>

#include "core/CommaText.h"
#include "core/NetshCommands.h"

namespace quorv::cli {

namespace {

// U+0080..U+009F: C1 controls, which some terminals obey like ESC sequences.
bool IsC1(const std::string& text, size_t i) {
    return static_cast<unsigned char>(text[i]) == 0xC2 && i + 1 < text.size() &&
           static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
           static_cast<unsigned char>(text[i + 1]) <= 0x9F;
}

}  // namespace

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        char buf[8];
        if (IsC1(text, i)) {
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(text[++i]));
            out += buf;
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string JsonString(const std::string& text) {
    const QByteArray utf8 =
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUtf8();
    std::string out = "\"";
    const std::string bytes = utf8.toStdString();
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (IsC1(bytes, i)) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(bytes[++i]));
            out += buf;
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string ProfileJson(const apply::Profile& p) {
    std::string out = "{\"Num\": " + std::to_string(p.Num) + ", ";
    for (const apply::ProfileTextColumn& column : apply::kProfileTextColumns) {
        out += "\"" + std::string(column.name) + "\": " + JsonString(p.*column.member) + ", ";
    }
    out += "\"Icon\": " + std::to_string(p.Icon) + ", ";
    out += "\"Script\": " + JsonString(p.Script) + "}";
    return out;
}

std::string ListLine(const apply::Profile& p) {
    return Escaped(p.Name) + '\t' + Escaped(apply::CommaTextItem(p.IP, 0)) + '\t' +
           Escaped(apply::CommaTextItem(p.Mask, 0)) + '\t' + Escaped(p.Gateway) + '\t' +
           Escaped(p.DNS1) + '\t' + Escaped(p.DNS2) + '\t' + Escaped(p.Interface);
}

std::string ShowText(const apply::Profile& p) {
    std::string out;
    for (const apply::ProfileTextColumn& column : apply::kProfileTextColumns) {
        out += std::string(column.name) + ": " + Escaped(p.*column.member) + '\n';
    }
    out += "Icon: " + std::to_string(p.Icon) + '\n';
    out += "Script:\n";
    for (const std::string& script : apply::SplitLines(p.Script)) {
        out += "    " + Escaped(script) + '\n';
    }
    return out;
}

std::vector<std::string> DryRunLines(const apply::Profile& p) {
    std::vector<std::string> lines;
    for (const apply::NetshCommand& command : apply::NetshCommands(p)) {
        lines.push_back(Escaped(command.line));
    }
    for (const std::string& script : apply::SplitLines(p.Script)) {
        if (!apply::TrimBlanks(script).empty()) {
            lines.push_back("script: " + Escaped(script));
        }
    }
    if (!p.Printer.empty()) {
        lines.push_back("printer: " + Escaped(p.Printer));
    }
    return lines;
}

}  // namespace quorv::cli
