#include "cli/ExchangeCommands.h"

#include <unistd.h>

#include <iostream>

#include "cli/InventoryCommands.h"
#include "cli/Output.h"
#include "cli/QicData.h"
#include "core/ConnectionCheck.h"
#include "core/ExchangeRules.h"
#include "core/MessageDefaults.h"
#include "core/ProfileChecks.h"
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

settings::ConnectionMap ParseConnectionMap(const std::vector<std::string>& maps) {
    settings::ConnectionMap map;
    for (const std::string& item : maps) {
        // The adapter is a Linux name, which never holds "="; the old name may.
        const size_t split = item.rfind('=');
        if (split == std::string::npos) {
            throw UsageError("--map takes OLD=NEW, not " + Quoted(item));
        }
        const std::string adapter = item.substr(split + 1);
        try {
            apply::CheckInterfaceName(adapter);
        } catch (const apply::RefusedValue& e) {
            throw UsageError(std::string("--map ") + Quoted(item) + ": " + e.what());
        }
        if (!map.emplace(item.substr(0, split), adapter).second) {
            throw UsageError("--map names " + Quoted(item.substr(0, split)) + " twice");
        }
    }
    return map;
}

void PrintAttention(const std::vector<apply::Profile>& stored,
                    const std::vector<std::string>& adapters, std::ostream& out) {
    const std::vector<apply::UnknownConnection> unknown =
        apply::UnknownConnections(stored, adapters);
    if (unknown.empty()) {
        return;
    }
    out << "needs attention: these profiles name a connection this machine does not have; "
           "point them at an adapter (qic edit NAME --interface IF) before applying them:\n";
    for (const apply::UnknownConnection& u : unknown) {
        out << "  "
            << (u.Connection.empty() ? std::string("(no connection)") : Quoted(u.Connection))
            << ":";
        for (size_t i = 0; i < u.Profiles.size(); ++i) {
            out << (i == 0 ? " " : ", ") << Quoted(u.Profiles[i]);
        }
        out << '\n';
    }
    out << "  adapters here: " << apply::AdapterList(adapters) << '\n';
}

int Import(store::TStoreTable& profiles, const Invocation& inv, const TQuestioner& questioner,
           std::ostream& out, const std::optional<std::vector<std::string>>& adapters) {
    const settings::ConnectionMap map = ParseConnectionMap(inv.maps);
    std::vector<settings::SkippedSection> skipped;
    std::vector<apply::Profile> incoming =
        settings::ReadExchangeFile(QString::fromStdString(inv.name), &skipped);
    settings::MapConnections(incoming, map);
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
    const settings::TImportSummary summary =
        flagged
            ? settings::ImportProfilesWithoutAsking(profiles, incoming, inv.yes, report)
            : settings::ImportProfiles(
                  profiles, incoming,
                  [&](const std::string& name) { return questioner.ask(ConflictQuestion(name)); },
                  report);
    for (const settings::SkippedSection& s : skipped) {
        out << "skipped " << Quoted(s.Name) << " (section [" << Printable(s.Section)
            << "]): " << s.Reason << '\n';
    }
    out << summary.Added << " added, " << summary.Replaced << " replaced, " << summary.Kept
        << " kept, " << skipped.size() << " skipped\n";
    if (adapters) {
        PrintAttention(summary.Stored, *adapters, out);
    }
    return skipped.empty() ? kExitOk : kExitFailed;
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
               "(--no), or asked about on a terminal; --map points a connection name at an "
               "adapter of this machine",
               {{"FILE", "the exchange file"}},
               "a file name",
               {"yes", "no", "map"}}) {}

void ImportCommand::CheckOptions(const Invocation& inv) const {
    if (inv.yes && inv.no) {
        throw UsageError("--yes and --no exclude each other");
    }
}

int ImportCommand::Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const {
    QicData data(inv);
    return Import(data.Profiles(), inv, TerminalQuestioner(err), out, MachineAdapters());
}

}  // namespace quorv::cli
