#include "cli/Qic.h"

#include <QCommandLineParser>
#include <QStringList>
#include <exception>
#include <map>

#include "cli/ApplyCommand.h"
#include "cli/CaptureCommand.h"
#include "cli/EditCommands.h"
#include "cli/ExchangeCommands.h"
#include "cli/HelpCommand.h"
#include "cli/InventoryCommands.h"
#include "cli/OptionTable.h"
#include "cli/Output.h"
#include "cli/ProfileCommands.h"
#include "cli/SettleCommands.h"

namespace quorv::cli {

namespace {

// Every command, in the order the usage lists them.
struct Registry {
    ListCommand list;
    ShowCommand show;
    AddCommand add;
    DeleteCommand remove;
    ApplyCommand apply;
    InterfacesCommand interfaces;
    PrintersCommand printers;
    EditCommand edit;
    RenameCommand rename;
    ExportCommand exportTo;
    ImportCommand importFrom;
    CaptureCommand capture;
    ConfirmCommand confirm;
    RollbackCommand rollback;
    std::vector<const Command*> all;
    HelpCommand help{all};

    Registry()
        : all{&list,       &show,     &add,  &capture, &remove,   &apply,      &confirm, &rollback,
              &interfaces, &printers, &edit, &rename,  &exportTo, &importFrom, &help} {}
};

// One parser knows every option, so that an option's value is never taken for the command
// and an option of another command can be named as such.
void Parse(QCommandLineParser& parser, const std::vector<std::string>& args) {
    for (const OptionSpec& option : OptionTable()) {
        parser.addOption(ToQt(option));
    }
    QStringList arguments{QStringLiteral("qic")};
    for (const std::string& arg : WithImplicitValues(args)) {
        arguments << ArgumentToQt(arg);
    }
    if (!parser.parse(arguments)) {
        throw UsageError(Printable(ArgumentFromQt(parser.errorText())));
    }
    // QCommandLineParser keeps every occurrence; a second value would silently win.
    std::map<std::string, int> seen;
    for (const QString& name : parser.optionNames()) {
        const OptionSpec* option = FindOption(name.toStdString());
        if (option && !option->repeatable && ++seen[option->name] == 2) {
            throw UsageError(std::string("--") + option->name + " is given twice");
        }
    }
}

// The command a parsed command line names, and what it gives that command.
std::pair<const Command*, Invocation> Resolve(const Registry& commands,
                                              const QCommandLineParser& parser) {
    const QStringList positional = parser.positionalArguments();
    const std::string word = positional.isEmpty() ? "" : ArgumentFromQt(positional.first());
    // "qic", "qic --help" and "qic show --help" print help rather than run anything.
    if (positional.isEmpty() || parser.isSet(QStringLiteral("help"))) {
        Invocation inv;
        if (commands.help.Find(word)) {
            inv.name = word;
        }
        return {&commands.help, inv};
    }
    const Command* command = commands.help.Find(word);
    if (!command) {
        throw UsageError("unknown command " + Quoted(word));
    }
    return {command, command->Bind(parser)};
}

}  // namespace

int RunQic(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    static const Registry commands;
    const Command* command = nullptr;
    Invocation inv;
    try {
        QCommandLineParser parser;
        Parse(parser, args);
        std::tie(command, inv) = Resolve(commands, parser);
    } catch (const UsageError& e) {
        err << "qic: " << ForTerminal(e.what()) << "\n(qic help shows the usage)\n";
        return kExitUsage;
    }
    try {
        return command->Execute(inv, out, err);
    } catch (const UsageError& e) {
        err << "qic: " << ForTerminal(e.what()) << '\n';
        return kExitUsage;
    } catch (const std::exception& e) {
        err << "qic: " << ForTerminal(e.what()) << '\n';
        return kExitFailed;
    }
}

}  // namespace quorv::cli
