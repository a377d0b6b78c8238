// ipconfig for Linux: the configuration report and DHCP release/renew.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "IpconfigOptions.h"
#include "Report.h"
#include "Snapshot.h"
#include "netsh/Backend.h"
#include "netsh/Command.h"
#include "netsh/DhcpClient.h"
#include "netsh/InterfaceState.h"
#include "netsh/Netlink.h"
#include "netsh/NmApply.h"
#include "netsh/Privilege.h"

namespace {

using namespace quorv;

const char* kUsage =
    "USAGE:\n"
    "    ipconfig [/all | /release [adapter] | /renew [adapter]]\n";

const char* kNoAdapter =
    "The operation failed as no adapter is in the state permissible for this operation.";

// DHCP adapters to act on: the one named, or all that have DHCP enabled.
std::vector<std::string> DhcpAdapters(const std::string& wanted) {
    std::vector<std::string> out;
    for (const auto& adapter : ipconfig::ReadSystemModel().adapters) {
        if ((wanted.empty() || adapter.name == wanted) && adapter.dhcpEnabled) {
            out.push_back(adapter.name);
        }
    }
    return out;
}

int ReleaseOrRenew(const ipconfig::Options& options) {
    auto adapters = DhcpAdapters(options.adapter);
    if (adapters.empty()) {
        std::fprintf(stderr, "%s\n", kNoAdapter);
        return 1;
    }
    int status = 0;
    for (const auto& name : adapters) {
        if (auto choice = netsh::ChooseBackend(name); choice.networkManager) {
            if (options.mode == ipconfig::Mode::Release) {
                netsh::ReleaseThroughNetworkManager(*choice.bus, choice.device);
            } else {
                netsh::RenewThroughNetworkManager(*choice.bus, choice.device);
            }
            continue;
        }
        if (!netsh::HasNetAdmin()) {
            std::fprintf(stderr, "The requested operation requires elevation (CAP_NET_ADMIN).\n");
            return 1;
        }
        netsh::InterfaceState state(name);
        netsh::DhcpClient client(state);
        if (options.mode == ipconfig::Mode::Release) {
            client.Release();
            continue;
        }
        client.Stop();
        if (!client.StartAndWaitForLease()) {
            // Keep trying in the background, as a DHCP adapter does.
            client.Start();
            std::fprintf(stderr,
                         "An error occurred while renewing interface %s : unable to contact your "
                         "DHCP server. Request has timed out.\n",
                         netsh::Printable(name).c_str());
            status = 1;
        }
    }
    std::fputs(ipconfig::FormatIpConfig(ipconfig::ReadSystemModel(), false).c_str(), stdout);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    auto options = ipconfig::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options) {
        std::fprintf(stderr, "Error: unrecognized or incomplete command line.\n\n%s", kUsage);
        return 1;
    }
    try {
        if (options->mode == ipconfig::Mode::Release || options->mode == ipconfig::Mode::Renew) {
            return ReleaseOrRenew(*options);
        }
        bool all = options->mode == ipconfig::Mode::All;
        std::fputs(ipconfig::FormatIpConfig(ipconfig::ReadSystemModel(), all).c_str(), stdout);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
