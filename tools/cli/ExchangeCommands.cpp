#include "cli/ExchangeCommands.h"

#include <unistd.h>

#include <iostream>

#include "cli/Output.h"
#include "cli/QicData.h"
#include "core/ExchangeRules.h"
#include "core/MessageDefaults.h"
#include "core/ProfileExchange.h"

namespace quorv::cli {

namespace {

// The window's question after the name, its line breaks fitted to a terminal.
std::string ConflictQuestion(const std::string& name) {
    std::string text = "'" + name + "' ";
    for (const core::MessageDefault& message : core::kMessageDefaults) {
        if (std::string_view(message.key) == "msgAlreadyUpdate") {
            for (const char* c = message.text; *c != '\0'; ++c) {
                if (*c != '\r') {
                    text += *c;
                }
            }
        }
    }
    return text;
}

const char* OutcomeWord(settings::TImportOutcome outcome) {
    switch (outcome) {
        case settings::TImportOutcome::Added:
            return "added";
        case settings::TImportOutcome::Replaced:
            return "replaced";
        case settings::TImportOutcome::Kept:
            return "kept";
    }
    return "";
}

}  // namespace

int Export(store::TStoreTable& profiles, const Invocation& inv, std::ostream& out,
           std::ostream& err) {
    const QString path = settings::WithExchangeExtension(QString::fromStdString(inv.name));
    std::vector<std::string> split;
    const int count = settings::ExportProfiles(profiles, path, &split);
    for (const std::string& name : split) {
        err << "qic: warning: a script line of " << Quoted(name)
            << " holds a comma; the file keeps lines apart with commas, so an import gives "
               "it back as two lines\n";
    }
    if (count == 0) {
        out << "no profiles, no file written\n";
    } else {
        out << count << (count == 1 ? " profile" : " profiles") << " written to "
            << Quoted(path.toStdString()) << '\n';
    }
    return kExitOk;
}

int Import(store::TStoreTable& profiles, const Invocation& inv, const TQuestioner& questioner,
           std::ostream& out) {
    std::vector<apply::Profile> incoming;
    try {
        incoming = settings::ReadExchangeFile(QString::fromStdString(inv.name));
    } catch (const settings::ERefusedImport& e) {
        throw UsageError(e.what());
    }
    const bool flagged = inv.yes || inv.no;
    if (!flagged && !questioner.interactive) {
        const std::vector<std::string> conflicts = settings::ConflictingNames(profiles, incoming);
        if (!conflicts.empty()) {
            throw UsageError(std::to_string(conflicts.size()) +
                             " of the profiles to import exist already (the first " +
                             Quoted(conflicts.front()) +
                             "); give --yes to replace them or --no to keep them");
        }
    }
    auto report = [&](const std::string& name, settings::TImportOutcome outcome) {
        out << OutcomeWord(outcome) << ' ' << Quoted(name) << '\n';
    };
    if (flagged) {
        settings::ImportProfilesWithoutAsking(profiles, incoming, inv.yes, report);
    } else {
        settings::ImportProfiles(
            profiles, incoming,
            [&](const std::string& name) { return questioner.ask(ConflictQuestion(name)); },
            report);
    }
    return kExitOk;
}

TQuestioner TerminalQuestioner(std::ostream& prompt) {
    TQuestioner questioner;
    questioner.interactive = ::isatty(STDIN_FILENO) != 0;
    questioner.ask = [&prompt](const std::string& question) {
        while (true) {
            prompt << question << " [y/n] " << std::flush;
            std::string line;
            if (!std::getline(std::cin, line)) {
                return false;
            }
            if (line == "y" || line == "Y" || line == "yes") {
                return true;
            }
            if (line == "n" || line == "N" || line == "no") {
                return false;
            }
        }
    };
    return questioner;
}

ExportCommand::ExportCommand()
    : Command({"export",
               "writes every profile to FILE (.qic appended unless given), replacing the file",
               {{"FILE", "the exchange file"}},
               "a file name",
               {}}) {}

int ExportCommand::Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const {
    QicData data(inv);
    return Export(data.Profiles(), inv, out, err);
}

ImportCommand::ImportCommand()
    : Command({"import",
               "reads the profiles of FILE; a profile of the same name is replaced (--yes), kept "
               "(--no), or asked about on a terminal",
               {{"FILE", "the exchange file"}},
               "a file name",
               {"yes", "no"}}) {}

void ImportCommand::CheckOptions(const Invocation& inv) const {
    if (inv.yes && inv.no) {
        throw UsageError("--yes and --no exclude each other");
    }
}

int ImportCommand::Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const {
    QicData data(inv);
    return Import(data.Profiles(), inv, TerminalQuestioner(err), out);
}

}  // namespace quorv::cli
