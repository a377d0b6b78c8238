#include "cli/HelpCommand.h"

#include "cli/HelpLayout.h"
#include "cli/Output.h"

namespace quorv::cli {

HelpCommand::HelpCommand(const std::vector<const Command*>& commands)
    : Command({"help",
               "this text, or what the operands and options of COMMAND mean",
               {{"COMMAND", "the command to describe", true}},
               "",
               {}}),
      commands_(commands) {}

const Command* HelpCommand::Find(const std::string& name) const {
    for (const Command* command : commands_) {
        if (name == command->Definition().name) {
            return command;
        }
    }
    return nullptr;
}

std::string HelpCommand::Usage() const {
    std::string text = "usage: qic [--data FILE] COMMAND ...\n\n";
    for (const Command* command : commands_) {
        text += UsageEntry(command->SynopsisParts(), command->Definition().summary);
    }
    return text +
           "\n"
           "qic COMMAND --help describes each option of COMMAND.\n"
           "Without --data, qic works on the window's data file, QuorvIPChanger.dat.\n"
           "Exit status: 0 done, 1 failed, 2 usage error, unknown profile or refused value.\n";
}

int HelpCommand::Execute(const Invocation& inv, std::ostream& out, std::ostream&) const {
    if (inv.name.empty()) {
        out << Usage();
        return kExitOk;
    }
    const Command* command = Find(inv.name);
    if (!command) {
        throw UsageError("unknown command " + Quoted(inv.name));
    }
    out << command->Help();
    return kExitOk;
}

}  // namespace quorv::cli
