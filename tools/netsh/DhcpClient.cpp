#include "netsh/DhcpClient.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/ProfileChecks.h"
#include "netsh/Command.h"
#include "netsh/Netlink.h"
#include "netsh/Resolver.h"
#include "system/Process.h"
#include "system/ProgramFolder.h"
#include "system/ProgramLookup.h"

namespace quorv::netsh {
namespace {

// A zombie still answers kill(pid, 0), so the state letter decides.
bool IsLive(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z' &&
           line[close + 2] != 'X';
}

std::vector<std::string> CommandLineOf(int pid) {
    auto raw = ReadTextFile("/proc/" + std::to_string(pid) + "/cmdline").value_or("");
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\0') {
            out.push_back(raw.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

bool WaitForExit(int pid, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!IsLive(pid)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !IsLive(pid);
}

std::vector<int> ChildrenOf(int parent) {
    std::vector<int> out;
    DIR* proc = opendir("/proc");
    if (!proc) {
        return out;
    }
    while (dirent* entry = readdir(proc)) {
        int pid = std::atoi(entry->d_name);
        if (pid <= 0) {
            continue;
        }
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line)) {
            continue;
        }
        auto close = line.rfind(')');
        std::istringstream rest(close == std::string::npos ? "" : line.substr(close + 2));
        std::string state;
        int ppid = 0;
        if (rest >> state >> ppid && ppid == parent) {
            out.push_back(pid);
        }
    }
    closedir(proc);
    return out;
}

std::string Dhclient() {
    std::string program = platform::FindSystemProgram("dhclient");
    if (program.empty()) {
        throw NetshError("The DHCP client could not be started: dhclient is not installed.");
    }
    return program;
}

}  // namespace

std::vector<std::string> DhcpClient::BaseArguments(const std::string& program) const {
    std::string hook = platform::ProgramFolder() + "quorv-dhclient-hook";
    if (access(hook.c_str(), X_OK) != 0) {
        throw NetshError("The DHCP client could not be started: " + hook + " is missing.");
    }
    // The name goes last, where dhclient takes interface names; one that looks like an option
    // never gets there.
    if (auto problem = apply::InterfaceNameProblem(state_.Interface())) {
        throw NetshError("The DHCP client could not be started: " + *problem + ".");
    }
    return {program, "-pf", state_.PidFile(), "-lf", state_.LeaseDatabase(), "-sf", hook};
}

void DhcpClient::CheckInstalled() const {
    BaseArguments(Dhclient());
}

std::optional<int> DhcpClient::RunningPid() const {
    auto text = ReadTextFile(state_.PidFile());
    if (!text) {
        return std::nullopt;
    }
    int pid = 0;
    try {
        pid = std::stoi(*text);
    } catch (...) {
        return std::nullopt;
    }
    if (pid <= 1 || !IsLive(pid)) {
        return std::nullopt;
    }
    // Only a dhclient started with our pid file is ours to stop.
    auto args = CommandLineOf(pid);
    bool ours = !args.empty() && args[0].size() >= 8 &&
                args[0].compare(args[0].size() - 8, 8, "dhclient") == 0;
    bool pidFileMatches = false;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        pidFileMatches = pidFileMatches || (args[i] == "-pf" && args[i + 1] == state_.PidFile());
    }
    if (!ours || !pidFileMatches) {
        return std::nullopt;
    }
    return pid;
}

void DhcpClient::Start() const {
    auto argv = BaseArguments(Dhclient());
    argv.push_back("-nw");
    argv.push_back(state_.Interface());
    const platform::RunOutput r = platform::RunAndWaitCaptured(
        argv, {}, {.capture = platform::Capture::Together, .timeoutMs = 15000});
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < deadline) {
        if (RunningPid()) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::string first = r.standardOutput.substr(0, r.standardOutput.find('\n'));
    throw NetshError("The DHCP client did not start for interface \"" + state_.Interface() + "\"" +
                     (first.empty() ? std::string() : ": " + Printable(first, 200)) + ".");
}

bool DhcpClient::StartAndWaitForLease() const {
    auto argv = BaseArguments(Dhclient());
    argv.push_back("-1");
    argv.push_back(state_.Interface());
    if (platform::RunAndWait(argv, {},
                             {.capture = platform::Capture::Nothing, .timeoutMs = 120000}) != 0) {
        return false;
    }
    // The daemonized client writes its pid file a moment after the foreground one has left.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!RunningPid()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void DhcpClient::Stop() const {
    auto pid = RunningPid();
    if (pid) {
        // A hook the client is running right now would otherwise finish after us and bring
        // the lease's address back; it is let to end first.
        std::vector<int> hooks = ChildrenOf(*pid);
        kill(*pid, SIGTERM);
        if (!WaitForExit(*pid, std::chrono::seconds(3))) {
            kill(*pid, SIGKILL);
            WaitForExit(*pid, std::chrono::seconds(2));
        }
        for (int hook : hooks) {
            WaitForExit(hook, std::chrono::seconds(3));
        }
    }
    unlink(state_.PidFile().c_str());
}

void DhcpClient::Release() const {
    auto argv = BaseArguments(Dhclient());
    argv.push_back("-r");
    argv.push_back(state_.Interface());
    platform::RunAndWait(argv, {}, {.capture = platform::Capture::Nothing, .timeoutMs = 30000});
    Stop();
    // dhclient releases what its lease database holds; a lease it had not written there yet is
    // still ours to take down.
    auto lease = state_.ReadLease();
    if (!lease) {
        return;
    }
    RouteSocket sock;
    if (auto ifindex = sock.LinkIndex(state_.Interface())) {
        for (const auto& route : sock.DefaultRoutes()) {
            for (const auto& router : lease->routers) {
                if (route.ifindex == *ifindex && route.gateway == ParseIpv4(router)) {
                    sock.DeleteDefaultRoute(route);
                }
            }
        }
        auto address = ParseIpv4(lease->address);
        auto mask = ParseIpv4(lease->mask);
        auto prefix = mask ? MaskToPrefix(*mask) : std::nullopt;
        if (address && prefix) {
            sock.DeleteAddress(*ifindex, {*address, *prefix});
        }
    }
    state_.ClearLease();
    if (!state_.StaticDns()) {
        SelectResolver()->SetServers(state_.Interface(), {});
    }
}

}  // namespace quorv::netsh
