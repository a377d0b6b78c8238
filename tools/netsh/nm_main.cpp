// netsh where a system bus runs: each command goes to NetworkManager when it manages the
// device, else through netlink as netsh does everywhere else.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "netsh/Apply.h"
#include "netsh/Backend.h"
#include "netsh/Command.h"
#include "netsh/NmApply.h"
#include "netsh/Privilege.h"

int main(int argc, char** argv) {
    using namespace quorv::netsh;
    std::vector<std::string> args(argv + 1, argv + argc);
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
            ExecuteThroughNetworkManager(*choice.bus, choice.device, choice.properties.get(),
                                         command);
        } else {
            Execute(command);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return ExitStatusFor(e);
    }
}
