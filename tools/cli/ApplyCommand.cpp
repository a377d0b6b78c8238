#include "cli/ApplyCommand.h"

#include <unistd.h>

#include <memory>

#include "cli/InventoryCommands.h"
#include "cli/KeepPrompt.h"
#include "cli/Output.h"
#include "cli/ProgressLanguage.h"
#include "cli/QicData.h"
#include "core/ApplyRun.h"
#include "core/ConnectionCheck.h"
#include "core/DataFileTrust.h"
#include "core/OptionRecord.h"
#include "core/SafeServices.h"
#include "system/ProgramFolder.h"

namespace quorv::cli {

ApplyCommand::ApplyCommand()
    : Command({"apply",
               "switches the connection to the profile",
               {{"NAME", "the profile"}},
               "a profile name",
               {"dry-run", "confirm"}}) {}

namespace {

// A change an earlier safe apply left pending is settled before this one starts, by asking;
// with nobody at a terminal to ask, nothing is applied.
bool SettleEarlier(apply::ApplyServices& services, const apply::AskKeep& ask,
                   const apply::SafeTexts& texts, std::ostream& out) {
    const std::vector<platform::PendingChange> pending = services.ListPending();
    if (pending.empty()) {
        return true;
    }
    if (!CanAskOnTerminal()) {
        throw UsageError("a change of " + Quoted(pending.front().interface) +
                         " waits to be kept or restored; run qic confirm or qic rollback first");
    }
    bool settled = true;
    for (const apply::SafeOutcome& outcome : apply::SettlePendingChanges(services, ask)) {
        out << apply::OutcomeText(outcome, texts) << '\n';
        settled = settled && (outcome.kind == apply::SafeOutcome::Kind::Kept ||
                              outcome.kind == apply::SafeOutcome::Kind::Restored);
    }
    return settled;
}

}  // namespace

int ApplyCommand::Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const {
    // Refused before anything is read, let alone changed: nobody could answer the question.
    if (inv.confirmSeconds && !inv.dryRun && !CanAskOnTerminal()) {
        throw UsageError(
            "--confirm needs a terminal on standard input and output to ask whether to keep the "
            "settings; nothing was changed");
    }
    // Root takes a profile's orders only from a file judged as it was opened, before
    // anything in it is read.
    std::unique_ptr<app::TRootDataFile> judged;
    if (!inv.dryRun && geteuid() == 0) {
        judged = std::make_unique<app::TRootDataFile>(QicData::PathOf(inv));
    }
    QicData data(inv, judged ? judged->OpenedPath() : std::string());
    const apply::Profile profile = data.Find(inv.name);
    if (inv.dryRun) {
        for (const std::string& line : DryRunLines(profile)) {
            out << line << '\n';
        }
        return kExitOk;
    }
    // Before anything runs: a connection this machine lacks would be changed nowhere.
    if (const auto adapters = MachineAdapters()) {
        try {
            apply::CheckConnectionPresent(profile, *adapters);
        } catch (const apply::EUnknownConnection& e) {
            throw UsageError(e.what());
        }
    }
    const bool shown =
        apply::ShowScriptWindow(app::ReadOption(data.Options(), apply::kShowScriptWindow));
    apply::SafeSystemServices services(platform::ProgramFolder());
    const std::string languages = platform::ProgramFolder() + "Language";
    const apply::ProgressTexts texts = LocaleProgressTexts(languages);
    const apply::SafeTexts safeTexts = LocaleSafeTexts(languages);
    // From here a Ctrl-C or hang-up restores at once instead of leaving it to the watchdog.
    SignalWatch signals;
    auto ask = [&](const apply::KeepQuestion& question) {
        return AskOnTerminal(question, safeTexts, signals, err);
    };
    if (!SettleEarlier(services, ask, safeTexts, out) || signals.Caught()) {
        return kExitFailed;
    }
    apply::ApplyRun run(services, texts,
                        [&](const std::string& text) { err << text << std::endl; });
    run.KeepWithin(inv.confirmSeconds.value_or(0));
    const apply::ApplyResult result = run.Run(profile, shown);
    bool kept = true;
    if (result.pending) {
        err << safeTexts.msgCheckSettings << std::endl;
        const apply::SafeOutcome outcome = apply::ConfirmApply(services, *result.pending, ask);
        out << apply::OutcomeText(outcome, safeTexts) << '\n';
        kept = outcome.kind == apply::SafeOutcome::Kind::Kept;
    }
    if (!result.Succeeded()) {
        err << apply::FailureSummary(result, texts.failures);
    }
    return result.Succeeded() && kept ? kExitOk : kExitFailed;
}

}  // namespace quorv::cli
