#include "cli/OptionTable.h"

#include <QStringList>

#include "core/ConfirmApply.h"

namespace quorv::cli {

namespace {

int ConfirmSeconds(const std::string& value) {
    int seconds = 0;
    size_t used = 0;
    try {
        seconds = std::stoi(value, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != value.size() || seconds < 1 || seconds > apply::kKeepSecondsMax) {
        throw UsageError("--confirm takes whole seconds from 1 to " +
                         std::to_string(apply::kKeepSecondsMax));
    }
    return seconds;
}

}  // namespace

// The implicit value of --confirm below is written out, as the table holds C strings.
static_assert(apply::kKeepSecondsDefault == 15);

const std::vector<OptionSpec>& OptionTable() {
    static const std::vector<OptionSpec> table = {
        {"data", nullptr, "FILE", "the data file (default: QuorvIPChanger.dat beside the program)",
         [](Invocation& inv, std::string v) { inv.dataFile = std::move(v); }},
        {"help", "h", nullptr, "shows this help", nullptr},
        {"json", nullptr, nullptr, "prints JSON, every column in table order",
         [](Invocation& inv, std::string) { inv.json = true; }},
        {"dry-run", nullptr, nullptr, "only prints the netsh lines, script lines and printer",
         [](Invocation& inv, std::string) { inv.dryRun = true; }},
        {"interface", nullptr, "IFACE", "the network interface (connection name)",
         [](Invocation& inv, std::string v) { inv.add.interface = std::move(v); }},
        {"dhcp", nullptr, nullptr, "obtains the address automatically",
         [](Invocation& inv, std::string) { inv.add.dhcp = true; }},
        {"ip", nullptr, "A[,B...]", "static addresses, comma-separated",
         [](Invocation& inv, std::string v) { inv.add.ip = std::move(v); }},
        {"mask", nullptr, "M[,N...]", "one subnet mask per address",
         [](Invocation& inv, std::string v) { inv.add.mask = std::move(v); }},
        {"gateway", nullptr, "G", "the default gateway",
         [](Invocation& inv, std::string v) { inv.add.gateway = std::move(v); }},
        {"dns1", nullptr, "D", "the first DNS server; without it DNS is automatic",
         [](Invocation& inv, std::string v) { inv.add.dns1 = std::move(v); }},
        {"dns2", nullptr, "D", "the second DNS server",
         [](Invocation& inv, std::string v) { inv.add.dns2 = std::move(v); }},
        {"printer", nullptr, "P", "the default printer to set",
         [](Invocation& inv, std::string v) { inv.add.printer = std::move(v); }},
        {"icon", nullptr, "11|12|13", "the list icon: 11 wired, 12 wireless, 13 other",
         [](Invocation& inv, std::string v) { inv.add.icon = std::move(v); }},
        {"script-file", nullptr, "F", "script lines to run after the change, read from F",
         [](Invocation& inv, std::string v) { inv.add.scriptFile = std::move(v); }},
        {"yes", nullptr, nullptr, "replaces every profile of the same name",
         [](Invocation& inv, std::string) { inv.yes = true; }},
        {"no", nullptr, nullptr, "keeps every profile of the same name",
         [](Invocation& inv, std::string) { inv.no = true; }},
        {"map", nullptr, "OLD=NEW",
         "stores the adapter NEW where a profile names the connection OLD (repeatable)",
         [](Invocation& inv, std::string v) { inv.maps.push_back(std::move(v)); }, true},
        {"confirm", nullptr, "SECONDS",
         "asks on the terminal whether to keep the new settings; no answer within SECONDS "
         "(default 15) restores the previous ones",
         [](Invocation& inv, std::string v) { inv.confirmSeconds = ConfirmSeconds(v); }, false,
         "15"},
    };
    return table;
}

const OptionSpec* FindOption(std::string_view name) {
    for (const OptionSpec& option : OptionTable()) {
        if (name == option.name || (option.shortName && name == option.shortName)) {
            return &option;
        }
    }
    return nullptr;
}

QCommandLineOption ToQt(const OptionSpec& option) {
    QStringList names;
    if (option.shortName) {
        names << QString::fromLatin1(option.shortName);
    }
    names << QString::fromLatin1(option.name);
    return QCommandLineOption(names, QString::fromUtf8(option.description),
                              option.valueName ? QString::fromLatin1(option.valueName) : QString());
}

std::string OptionSyntax(const OptionSpec& option) {
    std::string text = std::string("--") + option.name;
    if (option.implicitValue) {
        text += std::string("[=") + option.valueName + "]";
    } else if (option.valueName) {
        text += std::string(" ") + option.valueName;
    }
    return text;
}

std::vector<std::string> WithImplicitValues(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    bool options = true;
    for (const std::string& arg : args) {
        if (arg == "--") {
            options = false;
        }
        const OptionSpec* option = options && arg.size() > 2 && arg.compare(0, 2, "--") == 0
                                       ? FindOption(arg.substr(2))
                                       : nullptr;
        out.push_back(option && option->implicitValue ? arg + "=" + option->implicitValue : arg);
    }
    return out;
}

QString ArgumentToQt(const std::string& argument) {
    return QString::fromLatin1(argument.data(), static_cast<qsizetype>(argument.size()));
}

std::string ArgumentFromQt(const QString& argument) {
    return argument.toLatin1().toStdString();
}

}  // namespace quorv::cli
