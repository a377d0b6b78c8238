// netsh for Linux: the "netsh interface ip" commands that profiles are applied with.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "netsh/Apply.h"
#include "netsh/Backend.h"
#include "netsh/Command.h"
#include "netsh/NmApply.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(
            "Usage: netsh interface ip set address name=N source=dhcp\n"
            "       netsh interface ip set address name=N source=static addr=A mask=M\n"
            "       netsh interface ip add address name=N addr=A mask=M\n"
            "       netsh interface ip set address name=N gateway=G gwmetric=0\n"
            "       netsh interface ip set dns name=N source=dhcp\n"
            "       netsh interface ip set dns name=N source=static addr=D register=primary\n"
            "       netsh interface ip add dns name=N addr=D index=2\n"
            "       netsh --backend N\n",
            stderr);
        return 1;
    }
    try {
        using namespace quorv::netsh;
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
        return quorv::netsh::ExitStatusFor(e);
    }
}
