#include "cli/ProfileValues.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "cli/Output.h"
#include "core/CommaText.h"
#include "core/ProfileChecks.h"

namespace quorv::cli {

namespace {

bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), IsControl);
}

std::vector<std::string> SplitAtCommas(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            return items;
        }
        start = comma + 1;
    }
}

// The record's width of a string column; a longer value is refused here, not cut there.
size_t ColumnWidth(const char* column) {
    return static_cast<size_t>(apply::ProfileColumnWidth(column));
}

void CheckText(const std::string& value, const char* what, size_t width, bool required) {
    if (required && value.empty()) {
        throw UsageError(std::string(what) + " is empty");
    }
    if (HasControlCharacter(value)) {
        throw UsageError(std::string(what) + " contains a control character");
    }
    if (value.size() > width) {
        throw UsageError(std::string(what) + " is longer than " + std::to_string(width) + " bytes");
    }
}

std::string ReadScript(const std::string& path) {
    // Read one byte past the limit, so that /dev/zero or a huge file is refused, not loaded.
    std::string text(apply::kMaxScriptBytes + 1, '\0');
    std::size_t got = 0;
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            throw std::ios_base::failure(path);
        }
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        if (in.bad()) {
            throw std::ios_base::failure(path);
        }
        got = static_cast<std::size_t>(in.gcount());
    } catch (const std::ios_base::failure&) {
        throw UsageError("cannot read the script file " + Quoted(path) + ": " +
                         std::strerror(errno));
    }
    text.resize(got);
    if (got > apply::kMaxScriptBytes) {
        throw UsageError("the script file " + Quoted(path) + " is longer than " +
                         std::to_string(apply::kMaxScriptBytes) + " bytes");
    }
    // Checked before the lines are split, which would stop at a NUL without a word.
    try {
        apply::CheckScript(text);
    } catch (const apply::RefusedValue& e) {
        throw UsageError(e.what());
    }
    // Stored as the advanced dialog leaves it: CR LF between lines, blank ends trimmed.
    std::string joined;
    for (const std::string& line : apply::SplitLines(text)) {
        joined += line;
        joined += "\r\n";
    }
    return std::string(apply::TrimBlanks(joined));
}

}  // namespace

apply::Profile BuildProfile(const std::string& name, const AddOptions& add) {
    apply::Profile p;
    CheckText(name, "the profile name", ColumnWidth("Name"), true);
    p.Name = name;

    if (!add.interface) {
        throw UsageError("add needs --interface");
    }
    p.Interface = *add.interface;

    if (add.dhcp) {
        if (add.ip || add.mask || add.gateway) {
            throw UsageError("--dhcp does not go with --ip, --mask or --gateway");
        }
        p.SetDhcp();
    } else {
        if (!add.ip || !add.mask) {
            throw UsageError("add needs --dhcp, or --ip and --mask");
        }
        std::vector<std::string> addresses = SplitAtCommas(*add.ip);
        std::vector<std::string> masks = SplitAtCommas(*add.mask);
        if (addresses.size() != masks.size()) {
            throw UsageError("every address needs its mask: " + std::to_string(addresses.size()) +
                             " addresses, " + std::to_string(masks.size()) + " masks");
        }
        p.SetAddresses(addresses, masks);
        if (add.gateway) {
            p.Gateway = *add.gateway;
        }
    }

    if (add.dns2 && !add.dns1) {
        throw UsageError("--dns2 needs --dns1");
    }
    p.DNS1 = add.dns1.value_or("");
    p.DNS2 = add.dns2.value_or("");

    if (add.printer) {
        CheckText(*add.printer, "the printer name", ColumnWidth("Printer"), false);
        p.Printer = *add.printer;
    }
    if (add.icon) {
        if (*add.icon != "11" && *add.icon != "12" && *add.icon != "13") {
            throw UsageError("--icon takes 11 (wired), 12 (wireless) or 13 (other)");
        }
        p.Icon = std::stoi(*add.icon);
    }
    if (add.scriptFile) {
        p.Script = ReadScript(*add.scriptFile);
    }
    // What netsh would refuse at apply is refused now, before anything is stored.
    try {
        apply::CheckProfileValues(p);
    } catch (const apply::RefusedValue& e) {
        throw UsageError(e.what());
    }
    return p;
}

}  // namespace quorv::cli
