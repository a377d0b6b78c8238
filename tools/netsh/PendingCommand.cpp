#include "netsh/PendingCommand.h"

#include <cstdio>

#include "netsh/Command.h"
#include "system/PendingChange.h"

namespace quorv::netsh {

int RunPendingCommand(const std::vector<std::string>& args) {
    if (args.empty()) {
        for (const platform::PendingChange& change : platform::ListPendingChanges()) {
            std::printf("%s %s %d\n", change.id.c_str(), change.interface.c_str(),
                        change.secondsLeft);
        }
        return 0;
    }
    if (args.size() != 2 || (args[0] != "keep" && args[0] != "restore")) {
        std::fputs("Usage: netsh --pending [keep ID | restore ID]\n", stderr);
        return 1;
    }
    platform::PendingAnswer answer = args[0] == "keep" ? platform::KeepPendingChange(args[1])
                                                       : platform::RestorePendingChange(args[1]);
    if (!answer.done) {
        std::printf("failed: %s\n", Printable(answer.error, 300).c_str());
        return 1;
    }
    if (args[0] == "keep") {
        std::printf("kept\n");
    } else {
        std::printf("restored: %s\n", answer.restored.c_str());
    }
    return 0;
}

}  // namespace quorv::netsh
