#include "cli/SettleCommands.h"

#include "cli/Output.h"
#include "cli/ProgressLanguage.h"
#include "core/ConfirmApply.h"
#include "system/PendingChange.h"
#include "system/ProgramFolder.h"

namespace quorv::cli {

namespace {

void List(const std::vector<platform::PendingChange>& changes, std::ostream& out) {
    for (const platform::PendingChange& change : changes) {
        out << change.id << '\t' << ForTerminal(change.interface) << '\t' << change.secondsLeft
            << '\n';
    }
}

// The one change the operand names, by its id or its interface; with no operand, the only one.
platform::PendingChange Choose(const std::string& name, std::ostream& out) {
    const std::vector<platform::PendingChange> all = platform::ListPendingChanges();
    std::vector<platform::PendingChange> chosen;
    for (const platform::PendingChange& change : all) {
        if (name.empty() || change.id == name || change.interface == name) {
            chosen.push_back(change);
        }
    }
    if (chosen.size() == 1) {
        return chosen.front();
    }
    if (chosen.empty()) {
        throw quorv::Exception(name.empty() ? std::string("no change waits to be kept or restored")
                                            : "no change of " + Quoted(name) +
                                                  " waits to be kept or restored");
    }
    List(chosen, out);
    throw UsageError("several changes wait; name one by its ID or interface");
}

}  // namespace

ConfirmCommand::ConfirmCommand()
    : Command({"confirm",
               "keeps the new settings of a safe apply still waiting",
               {{"ID|INTERFACE", "the waiting change, or its interface", true}},
               "a change",
               {}}) {}

int ConfirmCommand::Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const {
    const platform::PendingChange change = Choose(inv.name, out);
    const platform::PendingAnswer answer = platform::KeepPendingChange(change.id);
    const apply::SafeTexts texts = LocaleSafeTexts(platform::ProgramFolder() + "Language");
    apply::SafeOutcome outcome;
    outcome.interface = change.interface;
    if (!answer.done) {
        outcome.kind = apply::SafeOutcome::Kind::KeepFailed;
        outcome.error = answer.error;
        err << ForTerminal(apply::OutcomeText(outcome, texts)) << '\n';
        return kExitFailed;
    }
    out << ForTerminal(apply::OutcomeText(outcome, texts)) << '\n';
    return kExitOk;
}

RollbackCommand::RollbackCommand()
    : Command({"rollback",
               "restores the settings before a safe apply still waiting",
               {{"ID|INTERFACE", "the waiting change, or its interface", true}},
               "a change",
               {}}) {}

int RollbackCommand::Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const {
    const platform::PendingChange change = Choose(inv.name, out);
    const platform::PendingAnswer answer = platform::RestorePendingChange(change.id);
    const apply::SafeTexts texts = LocaleSafeTexts(platform::ProgramFolder() + "Language");
    apply::SafeOutcome outcome;
    outcome.interface = change.interface;
    if (!answer.done) {
        outcome.kind = apply::SafeOutcome::Kind::RestoreFailed;
        outcome.error = answer.error;
        err << ForTerminal(apply::OutcomeText(outcome, texts)) << '\n';
        return kExitFailed;
    }
    outcome.kind = apply::SafeOutcome::Kind::Restored;
    std::string word;
    for (char c : answer.restored + ' ') {
        if (c != ' ') {
            word += c;
        } else if (!word.empty()) {
            outcome.restored.push_back(std::move(word));
            word.clear();
        }
    }
    out << ForTerminal(apply::OutcomeText(outcome, texts)) << '\n';
    return kExitOk;
}

}  // namespace quorv::cli
