#include "cli/Arguments.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "core/CommaText.h"
#include "core/ProfileChecks.h"

namespace quorv::cli {

const char* const kUsage =
    "usage: qic [--data FILE] COMMAND ...\n"
    "\n"
    "  list [--json]                 the profiles: name, first IP, first mask, gateway,\n"
    "                                DNS1, DNS2, interface (tab-separated)\n"
    "  show NAME [--json]            every column of one profile\n"
    "  add NAME --interface IFACE (--dhcp | --ip A[,B...] --mask M[,N...])\n"
    "      [--gateway G] [--dns1 D] [--dns2 D] [--printer P] [--icon 11|12|13]\n"
    "      [--script-file F]         a new profile; without --dns1 DNS is automatic\n"
    "  delete NAME                   removes a profile\n"
    "  apply NAME [--dry-run]        switches the connection to the profile; --dry-run\n"
    "                                only prints what would be run\n"
    "  interfaces                    the network connections and their adapters\n"
    "  printers                      the printers, the default one marked\n"
    "  edit NAME [add's options]     changes only the columns given; an empty --gateway,\n"
    "                                --dns1, --dns2 or --printer clears it\n"
    "  rename OLD NEW                gives a profile another name\n"
    "  export FILE                   writes every profile to FILE (.qic appended unless\n"
    "                                given), replacing the file\n"
    "  import FILE [--yes | --no]    reads the profiles of FILE; a profile of the same name\n"
    "                                is replaced (--yes), kept (--no), or asked about on a\n"
    "                                terminal\n"
    "\n"
    "The data file is QuorvIPChanger.dat beside the program unless --data names another.\n"
    "Exit status: 0 done, 1 failed, 2 usage error, unknown profile or refused value.\n";

namespace {

struct OptionInfo {
    const char* name;
    bool takesValue;
};

constexpr OptionInfo kOptions[] = {
    {"data", true},    {"json", false}, {"dry-run", false},    {"interface", true}, {"dhcp", false},
    {"ip", true},      {"mask", true},  {"gateway", true},     {"dns1", true},      {"dns2", true},
    {"printer", true}, {"icon", true},  {"script-file", true}, {"help", false},
};

// import's answer to every conflict.
constexpr OptionInfo kImportOptions[] = {{"yes", false}, {"no", false}};

struct CommandInfo {
    const char* name;
    bool takesName;  // a profile name, or the file of export and import
    std::set<std::string> options;
    size_t moreOperands = 0;  // after the name: rename's new name
    const char* operands = "a profile name";
};

const std::vector<CommandInfo>& Commands() {
    static const std::vector<CommandInfo> commands = {
        {"list", false, {"json"}},
        {"show", true, {"json"}},
        {"add",
         true,
         {"interface", "dhcp", "ip", "mask", "gateway", "dns1", "dns2", "printer", "icon",
          "script-file"}},
        {"delete", true, {}},
        {"apply", true, {"dry-run"}},
        {"interfaces", false, {}},
        {"printers", false, {}},
        {"help", false, {}},
        {"edit",
         true,
         {"interface", "dhcp", "ip", "mask", "gateway", "dns1", "dns2", "printer", "icon",
          "script-file"}},
        {"rename", true, {}, 1, "the old and the new name"},
        {"export", true, {}, 0, "a file name"},
        {"import", true, {"yes", "no"}, 0, "a file name"},
    };
    return commands;
}

const OptionInfo* FindOption(const std::string& name) {
    for (const OptionInfo& info : kOptions) {
        if (name == info.name) {
            return &info;
        }
    }
    for (const OptionInfo& info : kImportOptions) {
        if (name == info.name) {
            return &info;
        }
    }
    return nullptr;
}

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < ' ' || c == 0x7F;
}

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

std::string Quoted(const std::string& text) {
    constexpr size_t kShown = 80;
    std::string shown = apply::CutToWidth(text, kShown);
    std::replace_if(shown.begin(), shown.end(), IsControl, '?');
    return "\"" + shown + (shown.size() < text.size() ? "\"..." : "\"");
}

Invocation ParseArguments(const std::vector<std::string>& args) {
    Invocation inv;
    std::map<std::string, std::optional<std::string>> given;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h") {
            given["help"];
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            throw UsageError("unknown option " + Quoted(arg));
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(2, eq == std::string::npos ? eq : eq - 2);
        const OptionInfo* info = FindOption(name);
        if (!info) {
            throw UsageError("unknown option " + Quoted("--" + name));
        }
        std::optional<std::string> value;
        if (eq != std::string::npos) {
            if (!info->takesValue) {
                throw UsageError("--" + name + " takes no value");
            }
            value = arg.substr(eq + 1);
        } else if (info->takesValue) {
            if (i + 1 == args.size()) {
                throw UsageError("--" + name + " needs a value");
            }
            value = args[++i];
        }
        if (!given.emplace(name, value).second) {
            throw UsageError("--" + name + " is given twice");
        }
    }

    // "qic", "qic help" and "qic show --help" alike print the usage.
    if (given.count("help") || positional.empty()) {
        return inv;
    }

    const std::string& command = positional[0];
    auto info = std::find_if(Commands().begin(), Commands().end(),
                             [&](const CommandInfo& c) { return command == c.name; });
    if (info == Commands().end()) {
        throw UsageError("unknown command " + Quoted(command));
    }
    if (command == "help") {
        return inv;
    }
    const size_t expected = (info->takesName ? 2 : 1) + info->moreOperands;
    if (positional.size() < expected) {
        throw UsageError(command + " needs " + info->operands);
    }
    if (positional.size() > expected) {
        throw UsageError("unexpected argument " + Quoted(positional[expected]));
    }
    for (const auto& [name, value] : given) {
        if (name != "data" && !info->options.count(name)) {
            throw UsageError("--" + name + " does not go with " + command);
        }
    }

    inv.command = command;
    if (info->takesName) {
        inv.name = positional[1];
    }
    if (info->moreOperands > 0) {
        inv.newName = positional[2];
    }
    auto take = [&](const char* name) {
        auto it = given.find(name);
        return it == given.end() ? std::nullopt : it->second;
    };
    inv.dataFile = take("data");
    inv.json = given.count("json") > 0;
    inv.dryRun = given.count("dry-run") > 0;
    inv.yes = given.count("yes") > 0;
    inv.no = given.count("no") > 0;
    if (inv.yes && inv.no) {
        throw UsageError("--yes and --no exclude each other");
    }
    AddOptions& add = inv.add;
    add.interface = take("interface");
    add.dhcp = given.count("dhcp") > 0;
    add.ip = take("ip");
    add.mask = take("mask");
    add.gateway = take("gateway");
    add.dns1 = take("dns1");
    add.dns2 = take("dns2");
    add.printer = take("printer");
    add.icon = take("icon");
    add.scriptFile = take("script-file");
    return inv;
}

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
