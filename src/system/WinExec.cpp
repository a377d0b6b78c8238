#include "system/WinExec.h"

#include <utility>

#include "system/CommandLine.h"
#include "system/Subprocess.h"
#include "system/Terminal.h"

namespace quorv::platform {

bool WinExec(const std::string& commandLine, bool shown, const LaunchOptions& options) {
    FoundCommand command = FindCommand(SplitCommandLine(commandLine), options);
    if (!command.error.empty()) {
        return false;
    }
    SpawnRequest request{std::move(command.args)};
    if (shown && HasDisplay()) {
        if (auto prefix = TerminalPrefix()) {
            request.args.insert(request.args.begin(), prefix->begin(), prefix->end());
        }
    }
    request.ownSession = true;
    // Not waited for: it is reaped whenever it ends.
    return Subprocess(request).Started();
}

}  // namespace quorv::platform
