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
    std::string out = "{";
    auto text = [&](const char* key, const std::string& value) {
        out += "\"" + std::string(key) + "\": " + JsonString(value) + ", ";
    };
    out += "\"Num\": " + std::to_string(p.Num) + ", ";
    text("Name", p.Name);
    text("IP", p.IP);
    text("Mask", p.Mask);
    text("Gateway", p.Gateway);
    text("DNS1", p.DNS1);
    text("DNS2", p.DNS2);
    text("Interface", p.Interface);
    text("Printer", p.Printer);
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
    auto line = [&](const char* column, const std::string& value) {
        out += std::string(column) + ": " + value + '\n';
    };
    line("Name", p.Name);
    line("IP", p.IP);
    line("Mask", p.Mask);
    line("Gateway", p.Gateway);
    line("DNS1", p.DNS1);
    line("DNS2", p.DNS2);
    line("Interface", p.Interface);
    line("Printer", p.Printer);
    line("Icon", std::to_string(p.Icon));
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
