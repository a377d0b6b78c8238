#include "cli/Output.h"

#include <QString>
#include <cstdio>

#include "apply/CommaText.h"
#include "apply/NetshCommands.h"

namespace quorv::cli {

std::string JsonString(const std::string& text) {
    const QByteArray utf8 =
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUtf8();
    std::string out = "\"";
    for (char c : utf8) {
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
    return p.Name + '\t' + apply::CommaTextItem(p.IP, 0) + '\t' + apply::CommaTextItem(p.Mask, 0) +
           '\t' + p.Gateway + '\t' + p.DNS1 + '\t' + p.DNS2 + '\t' + p.Interface;
}

std::string ShowText(const apply::Profile& p) {
    std::string out;
    for (const apply::ProfileTextColumn& column : apply::kProfileTextColumns) {
        out += std::string(column.name) + ": " + p.*column.member + '\n';
    }
    out += "Icon: " + std::to_string(p.Icon) + '\n';
    out += "Script:\n";
    for (const std::string& script : apply::SplitLines(p.Script)) {
        out += "    " + script + '\n';
    }
    return out;
}

std::vector<std::string> DryRunLines(const apply::Profile& p) {
    std::vector<std::string> lines = apply::NetshCommands(p);
    for (const std::string& script : apply::SplitLines(p.Script)) {
        if (!apply::TrimBlanks(script).empty()) {
            lines.push_back("script: " + script);
        }
    }
    if (!p.Printer.empty()) {
        lines.push_back("printer: " + p.Printer);
    }
    return lines;
}

}  // namespace quorv::cli
