#include "cli/QicCommand.h"

#include <QCommandLineParser>
#include <QStringList>
#include <algorithm>

#include "cli/HelpLayout.h"
#include "cli/OptionTable.h"
#include "cli/Output.h"

namespace quorv::cli {

namespace {

// Options every command takes: they are about qic, not about the command.
bool IsGlobal(std::string_view option) {
    return option == "data" || option == "help";
}

}  // namespace

Command::Command(CommandSpec definition) : definition_(std::move(definition)) {}

bool Command::Takes(std::string_view option) const {
    return IsGlobal(option) || std::find(definition_.options.begin(), definition_.options.end(),
                                         option) != definition_.options.end();
}

Invocation Command::Bind(const QCommandLineParser& parser) const {
    const QStringList positional = parser.positionalArguments();
    const auto& operands = definition_.operands;
    const auto required = static_cast<qsizetype>(std::count_if(
        operands.begin(), operands.end(), [](const auto& operand) { return !operand.optional; }));
    const auto total = static_cast<qsizetype>(operands.size());
    const qsizetype given = positional.size() - 1;
    if (given < required) {
        throw UsageError(std::string(definition_.name) + " needs " + definition_.missing);
    }
    if (given > total) {
        throw UsageError("unexpected argument " + Quoted(ArgumentFromQt(positional[total + 1])));
    }
    for (const QString& name : parser.optionNames()) {
        const OptionSpec* option = FindOption(name.toStdString());
        if (option && !Takes(option->name)) {
            throw UsageError(std::string("--") + option->name + " does not go with " +
                             definition_.name);
        }
    }

    Invocation inv;
    if (given >= 1) {
        inv.name = ArgumentFromQt(positional[1]);
    }
    if (given >= 2) {
        inv.newName = ArgumentFromQt(positional[2]);
    }
    for (const OptionSpec& option : OptionTable()) {
        const QString name = QString::fromLatin1(option.name);
        if (option.bind && parser.isSet(name)) {
            if (option.repeatable) {
                for (const QString& value : parser.values(name)) {
                    option.bind(inv, ArgumentFromQt(value));
                }
            } else {
                option.bind(inv, ArgumentFromQt(parser.value(name)));
            }
        }
    }
    CheckOptions(inv);
    return inv;
}

std::vector<std::string> Command::SynopsisParts() const {
    std::vector<std::string> parts{definition_.name};
    for (const CommandSpec::Operand& operand : definition_.operands) {
        parts.push_back(operand.optional ? std::string("[") + operand.name + "]" : operand.name);
    }
    for (std::string_view name : definition_.options) {
        parts.push_back("[" + OptionSyntax(*FindOption(name)) + "]");
    }
    return parts;
}

std::string Command::Help() const {
    QCommandLineParser parser;
    for (const OptionSpec& option : OptionTable()) {
        if (Takes(option.name)) {
            parser.addOption(ToQt(option));
        }
    }
    for (const CommandSpec::Operand& operand : definition_.operands) {
        const QString name = QString::fromLatin1(operand.name);
        parser.addPositionalArgument(name, QString::fromUtf8(operand.description),
                                     operand.optional ? "[" + name + "]" : name);
    }
    // Qt's first line names the program as a QCoreApplication knows it; qic runs none.
    const std::string text = parser.helpText().toStdString();
    return Wrapped(SynopsisParts(), "usage: qic [--data FILE] ", "      ") +
           Wrapped(Words(definition_.summary), "", "") + text.substr(text.find('\n') + 1);
}

}  // namespace quorv::cli
