// netsh for Linux: the "netsh interface ip" commands that profiles are applied with.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "netsh/Apply.h"
#include "netsh/Command.h"
#include "netsh/NmMain.h"
#include "netsh/PendingCommand.h"
#include "netsh/SafeApply.h"
#include "netsh/ScriptRun.h"
#include "system/SystemBus.h"

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
            "       netsh -f FILE    (the command lines of FILE in order; - for standard input)\n"
            "       netsh --keep-within SECONDS -f FILE   (restored after 1 to 600 seconds unless\n"
            "                                              kept; prints \"pending: ID SECONDS\")\n"
            "       netsh --pending                 (the changes waiting: ID IFNAME SECONDS_LEFT)\n"
            "       netsh --pending keep ID\n"
            "       netsh --pending restore ID\n"
            "       netsh --backend N\n",
            stderr);
        return 1;
    }
    if (args[0] == "--pending") {
        return quorv::netsh::RunPendingCommand({args.begin() + 1, args.end()});
    }
    if (args[0] == "--keep-within") {
        auto seconds = args.size() == 4 && args[2] == "-f" ? quorv::netsh::ParseKeepWithin(args[1])
                                                           : std::nullopt;
        if (!seconds) {
            std::fputs(
                "netsh --keep-within takes a whole number of seconds from 1 to 600 and -f "
                "FILE.\n",
                stderr);
            return 1;
        }
        return quorv::netsh::RunScript(args[3], quorv::inventory::SystemBusPresent(), *seconds);
    }
    if (args.size() == 2 && args[0] == "-f") {
        return quorv::netsh::RunScript(args[1], quorv::inventory::SystemBusPresent());
    }
    // Only where a system bus runs can NetworkManager own the device, so only there is the
    // backend chosen; the bus code is linked in, as a second program cost a millisecond to start.
    if (quorv::inventory::SystemBusPresent()) {
        return quorv::netsh::RunWithSystemBus(args);
    }
    if (args.size() == 2 && args[0] == "--backend") {
        std::printf("%s: netlink (NetworkManager does not run on the system bus)\n",
                    quorv::netsh::Printable(args[1]).c_str());
        return 0;
    }
    try {
        quorv::netsh::Execute(quorv::netsh::ParseCommand(args));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return quorv::netsh::ExitStatusFor(e);
    }
}
