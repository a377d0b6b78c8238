#include "netsh/NmMain.h"

#include <cstdio>
#include <exception>

#include "netsh/Apply.h"
#include "netsh/Backend.h"
#include "netsh/Command.h"
#include "netsh/NmApply.h"
#include "netsh/Privilege.h"

namespace quorv::netsh {

int RunWithSystemBus(const std::vector<std::string>& args) {
    try {
        if (args.size() == 2 && args[0] == "--backend") {
            BackendChoice choice = ChooseBackend(args[1]);
            std::printf("%s: %s (%s)\n", Printable(args[1]).c_str(),
                        choice.networkManager ? "NetworkManager" : "netlink",
                        choice.reason.c_str());
            return 0;
        }
        Command command = ParseCommand(args);
        if (BackendChoice choice = ChooseBackend(command.name); choice.networkManager) {
            ExecuteThroughNetworkManager(*choice.bus, choice.device, choice.properties, {command});
        } else {
            Execute(command);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return ExitStatusFor(e);
    }
}

}  // namespace quorv::netsh
