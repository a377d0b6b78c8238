#include "cli/Output.h"

#include <cstring>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QString>
#include <algorithm>
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

// The C1 control whose second UTF-8 byte is `second`, as JSON writes it.
std::string C1Escape(char second) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(second));
    return buf;
}

// One value as QJsonDocument writes it (its escaping and number format), C1 controls
// escaped too, which Qt writes as they are.
std::string JsonValue(const QJsonValue& value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    const std::string text = array.sliced(1, array.size() - 2).toStdString();  // without [ ]
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        out += IsC1(text, i) ? C1Escape(text[++i]) : std::string(1, text[i]);
    }
    return out;
}

QJsonValue Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "key": value. The object is laid out here rather than by QJsonObject, which would sort
// the keys; qic has always written them in table order.
std::string Member(const char* key, const QJsonValue& value) {
    return JsonValue(QString::fromLatin1(key)) + ": " + JsonValue(value);
}

// Control characters, C1 ones (two bytes in UTF-8) included, as "?"; `keep` is let
// through.
std::string Masked(const std::string& text, const char* keep) {
    std::string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsC1(text, i)) {
            shown += '?';
            ++i;
        } else if (IsControl(text[i]) && std::strchr(keep, text[i]) == nullptr) {
            shown += '?';
        } else {
            shown += text[i];
        }
    }
    return shown;
}

// Text cut to `width` bytes, control characters as "?".
std::string Hidden(const std::string& text, size_t width) {
    return Masked(apply::CutToWidth(text, width), "");
}

}  // namespace

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < ' ' || c == 0x7F;
}

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsC1(text, i)) {
            out += C1Escape(text[++i]);
        } else if (IsControl(text[i])) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(text[i]));
            out += buf;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Quoted(const std::string& text) {
    const std::string shown = Hidden(text, 80);
    return "\"" + shown + (shown.size() < text.size() ? "\"..." : "\"");
}

std::string ForTerminal(const std::string& text) {
    return Masked(text, "\n\t");
}

std::string Printable(const std::string& text) {
    const std::string shown = Hidden(text, 200);
    return shown.size() < text.size() ? shown + "..." : shown;
}

std::string ProfileJson(const apply::Profile& p) {
    std::string out = "{" + Member("Num", p.Num);
    for (const apply::ProfileTextColumn& column : apply::kProfileTextColumns) {
        out += ", " + Member(column.name, Utf8(p.*column.member));
    }
    out += ", " + Member("Icon", p.Icon);
    out += ", " + Member("Script", Utf8(p.Script));
    return out + "}";
}

std::string ProfileListJson(const std::vector<apply::Profile>& list) {
    std::string out = "[";
    for (size_t i = 0; i < list.size(); ++i) {
        out += (i ? ",\n " : "\n ") + ProfileJson(list[i]);
    }
    return out + (list.empty() ? "]\n" : "\n]\n");
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
