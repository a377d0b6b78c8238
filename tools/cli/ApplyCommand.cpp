#include "cli/ApplyCommand.h"

#include <unistd.h>

#include <memory>

#include "cli/InventoryCommands.h"
#include "cli/Output.h"
#include "cli/ProgressLanguage.h"
#include "cli/QicData.h"
#include "core/ApplyRun.h"
#include "core/ConnectionCheck.h"
#include "core/DataFileTrust.h"
#include "core/OptionRecord.h"
#include "system/ProgramFolder.h"

namespace quorv::cli {

ApplyCommand::ApplyCommand()
    : Command({"apply",
               "switches the connection to the profile",
               {{"NAME", "the profile"}},
               "a profile name",
               {"dry-run"}}) {}

int ApplyCommand::Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const {
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
    apply::SystemServices services(platform::ProgramFolder());
    const apply::ProgressTexts texts = LocaleProgressTexts(platform::ProgramFolder() + "Language");
    apply::ApplyRun run(services, texts,
                        [&](const std::string& text) { err << text << std::endl; });
    const apply::ApplyResult result = run.Run(profile, shown);
    if (result.Succeeded()) {
        return kExitOk;
    }
    err << apply::FailureSummary(result, texts.failures);
    return kExitFailed;
}

}  // namespace quorv::cli
