// netsh against nmcli on a device a real NetworkManager manages (run as root). The parent makes
// the test network and the private NetworkManager; a child enters its namespaces and runs the
// benchmarks, so that every program is started directly, as the apply run starts netsh.
//
// Static: the apply-run example's four netsh commands, as the apply run hands them to one
// `netsh -f -`, beside one `nmcli connection modify` with the same settings and one
// `nmcli device reapply`, between two address sets that differ in
// every value, so each run is a real change. netsh waits until the device shows the settings;
// nmcli returns when NetworkManager has taken the request and leaves the rest of the work
// (dropping the old addresses, the new DNS) to run after it. So each side has two figures:
// until its last program returns, and until NetworkManager shows the device with the new
// settings, read by an observer on the bus the same way for both. The second is the time to a
// profile in place, the one a user waits for.
// Side by side, both in turn in every iteration: the static case with MPTCP on (as the kernel
// starts) and off, the same profile applied a second time, and the DHCP profile's two netsh
// commands beside the same modify + reapply, each started from the static settings (restored
// untimed).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Dnsmasq.h"
#include "Netns.h"
#include "NmSandbox.h"
#include "netsh/Command.h"
#include "netsh/NmDeviceWatch.h"
#include "system/NmBus.h"
#include "system/Process.h"

namespace {

using quorv::netsh::DeviceNow;
using quorv::systest::BinDir;

const std::string kNmcli = "/usr/bin/nmcli";
std::string gNet;  // "10.213.S."

std::string A(int host) {
    return gNet + std::to_string(host);
}

// A program with its arguments and, for netsh, its script on standard input.
struct Program {
    std::vector<std::string> args;
    std::string input;
    Program(std::vector<std::string> a, std::string in = {})
        : args(std::move(a)), input(std::move(in)) {}
    Program(std::initializer_list<std::string> a) : args(a) {}
};
using Commands = std::vector<Program>;

// Reads the device as netsh does, on a bus connection of its own.
class DeviceObserver {
  public:
    DeviceObserver() : bus_(quorv::inventory::NmBus::Connect()) {
        if (!bus_) {
            throw std::runtime_error("no NetworkManager on the bus");
        }
        bus_->WatchChanges();
        device_ = bus_->DeviceByInterface("lan0");
    }

    // Until `reached`; false when NetworkManager never gets there.
    bool WaitFor(const std::function<bool(const DeviceNow&)>& reached) {
        try {
            quorv::netsh::WaitForDevice(*bus_, device_, "lan0", reached, false);
            return true;
        } catch (const quorv::netsh::NetshError&) {
            return false;
        }
    }

  private:
    std::unique_ptr<quorv::inventory::NmBus> bus_;
    std::string device_;
};

DeviceObserver* gObserver = nullptr;

bool ShowsStatic(const DeviceNow& now, int variant) {
    int base = variant ? 20 : 10;
    return now.state == NM_DEVICE_STATE_ACTIVATED &&
           now.addresses == std::set<std::string>{A(base) + "/24", A(base + 1) + "/16"} &&
           now.gateway == A(base + 2) && now.dns == std::vector<std::string>{A(base + 3)};
}

bool ShowsLease(const DeviceNow& now) {
    return now.state == NM_DEVICE_STATE_ACTIVATED && !now.leased.empty() &&
           now.addresses.size() == 1 && now.addresses.begin()->rfind(now.leased + "/", 0) == 0 &&
           !now.leaseDns.empty() && now.dns == now.leaseDns;
}

bool RunAll(const Commands& commands) {
    for (const auto& c : commands) {
        quorv::platform::WaitOptions wait;
        wait.input = c.input;
        const quorv::platform::RunOutput run =
            quorv::platform::RunAndWaitCaptured(c.args, {}, wait);
        if (run.exitCode != 0) {
            std::fputs((run.standardOutput + run.standardError).c_str(), stderr);
            return false;
        }
    }
    return true;
}

// One netsh for the lines, as the apply run starts it.
Program Netsh(const std::vector<std::string>& lines) {
    std::string script;
    for (const auto& line : lines) {
        script += "netsh interface ip " + line + "\n";
    }
    return Program({BinDir() + "/netsh", "-f", "-"}, script);
}

// Two static profiles that differ in every value.
Commands NetshStatic(int variant) {
    int base = variant ? 20 : 10;
    return {
        Netsh({"set address name=\"lan0\" source=static addr=" + A(base) + " mask=255.255.255.0",
               "add address name=\"lan0\" addr=" + A(base + 1) + " mask=255.255.0.0",
               "set address name=\"lan0\" gateway=" + A(base + 2) + " gwmetric=0",
               "set dns name=\"lan0\" source=static addr=" + A(base + 3) + " register=PRIMARY"})};
}

Commands NmcliStatic(int variant) {
    int base = variant ? 20 : 10;
    return {{kNmcli, "connection", "modify", "lan0", "ipv4.method", "manual", "ipv4.addresses",
             A(base) + "/24," + A(base + 1) + "/16", "ipv4.gateway", A(base + 2),
             "ipv4.route-metric", "0", "ipv4.dns", A(base + 3), "ipv4.ignore-auto-dns", "yes"},
            {kNmcli, "device", "reapply", "lan0"}};
}

// Each alone, until its last program returns.
void Measure(benchmark::State& state, const std::function<Commands(int)>& commands) {
    int variant = 0;
    for (auto _ : state) {
        if (!RunAll(commands(variant))) {
            state.SkipWithError("a command failed");
            return;
        }
        variant ^= 1;
    }
}

void BM_NetshStaticProfile(benchmark::State& state) {
    Measure(state, NetshStatic);
}
void BM_NmcliStaticProfile(benchmark::State& state) {
    Measure(state, NmcliStatic);
}
// Both in turn in every iteration, so that the machine's load falls on both alike; the
// counters are the mean milliseconds of each and their ratios. After each side, NetworkManager
// is given time to settle (untimed), so that neither pays for the other's unfinished work.
constexpr std::chrono::milliseconds kSettle{150};

struct Timed {
    double returned = 0;  // until the last program exited
    double applied = 0;   // until NetworkManager showed the device with the settings
};

bool TimeOne(const Commands& commands, const std::function<bool(const DeviceNow&)>& reached,
             Timed& sum) {
    using Clock = std::chrono::steady_clock;
    auto t0 = Clock::now();
    if (!RunAll(commands)) {
        return false;
    }
    auto t1 = Clock::now();
    if (!gObserver->WaitFor(reached)) {
        return false;
    }
    auto t2 = Clock::now();
    sum.returned += std::chrono::duration<double, std::milli>(t1 - t0).count();
    sum.applied += std::chrono::duration<double, std::milli>(t2 - t0).count();
    std::this_thread::sleep_for(kSettle);
    return true;
}

void Report(benchmark::State& state, const Timed& netsh, const Timed& nmcli) {
    double n = double(state.iterations());
    state.counters["netsh_ms"] = netsh.returned / n;
    state.counters["nmcli_ms"] = nmcli.returned / n;
    state.counters["ratio"] = netsh.returned / nmcli.returned;
    state.counters["netsh_applied_ms"] = netsh.applied / n;
    state.counters["nmcli_applied_ms"] = nmcli.applied / n;
    state.counters["applied_ratio"] = netsh.applied / nmcli.applied;
}

// netsh always turns the device from set 1 to set 0 and nmcli from set 0 to set 1, so that
// every run of either is a full change of the same size. again: each first puts its set in
// place untimed, then is timed applying the same once more (a profile applied twice).
void SideBySide(benchmark::State& state, bool again = false) {
    Timed netsh;
    Timed nmcli;
    Timed untimed;
    for (auto _ : state) {
        auto ok = [&](const Commands& commands, int set, Timed& sum) {
            auto shows = [set](const DeviceNow& s) { return ShowsStatic(s, set); };
            if (again) {
                state.PauseTiming();
                bool ready = TimeOne(commands, shows, untimed);
                state.ResumeTiming();
                if (!ready) {
                    return false;
                }
            }
            return TimeOne(commands, shows, sum);
        };
        if (!ok(NetshStatic(0), 0, netsh) || !ok(NmcliStatic(1), 1, nmcli)) {
            state.SkipWithError("a command failed or the device never showed the settings");
            return;
        }
    }
    Report(state, netsh, nmcli);
}

void BM_DhcpSideBySide(benchmark::State& state) {
    const Commands netshDhcp{
        Netsh({"set address name=\"lan0\" source=DHCP", "set dns name=\"lan0\" source=DHCP"})};
    const Commands nmcliDhcp{
        {kNmcli, "connection", "modify", "lan0", "ipv4.method", "auto", "ipv4.addresses", "",
         "ipv4.gateway", "", "ipv4.dns", "", "ipv4.ignore-auto-dns", "no"},
        {kNmcli, "device", "reapply", "lan0"}};
    Timed netsh;
    Timed nmcli;
    auto fromStatic = [] {
        return RunAll(NetshStatic(0)) &&
               gObserver->WaitFor([](const DeviceNow& s) { return ShowsStatic(s, 0); });
    };
    for (auto _ : state) {
        state.PauseTiming();
        bool ready = fromStatic();
        state.ResumeTiming();
        bool ok = ready && TimeOne(netshDhcp, ShowsLease, netsh);
        state.PauseTiming();
        ready = ok && fromStatic();
        state.ResumeTiming();
        if (!ready || !TimeOne(nmcliDhcp, ShowsLease, nmcli)) {
            state.SkipWithError("a command failed or the device never showed a lease");
            return;
        }
    }
    Report(state, netsh, nmcli);
}

void BM_StaticSideBySide(benchmark::State& state) {
    SideBySide(state);
}

void BM_StaticAgainSideBySide(benchmark::State& state) {
    SideBySide(state, true);
}

// The same with MPTCP off in the namespace. With it on, NetworkManager removes the MPTCP
// endpoint of every address it drops, and the kernel takes some 20 ms for each: netsh waits for
// that inside its first command, nmcli returns before it and leaves it to the settling time.
void BM_StaticSideBySideNoMptcp(benchmark::State& state) {
    auto set = [](const char* value) {
        int fd = open("/proc/sys/net/mptcp/enabled", O_WRONLY | O_CLOEXEC);
        bool ok = fd >= 0 && write(fd, value, 1) == 1;
        if (fd >= 0) {
            close(fd);
        }
        return ok;
    };
    if (!set("0")) {
        state.SkipWithError("MPTCP could not be turned off in the namespace");
        return;
    }
    SideBySide(state);
    set("1");
}

BENCHMARK(BM_StaticSideBySide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);
BENCHMARK(BM_StaticAgainSideBySide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_StaticSideBySideNoMptcp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);
BENCHMARK(BM_NetshStaticProfile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);
BENCHMARK(BM_NmcliStaticProfile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);
BENCHMARK(BM_DhcpSideBySide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

bool Enter(pid_t init) {
    // Open all three first: once in the mount namespace, the host's /proc is gone.
    int fds[3];
    const char* kinds[3] = {"net", "mnt", "pid"};
    for (int i = 0; i < 3; ++i) {
        fds[i] = open(("/proc/" + std::to_string(init) + "/ns/" + kinds[i]).c_str(),
                      O_RDONLY | O_CLOEXEC);
        if (fds[i] < 0) {
            return false;
        }
    }
    bool ok = setns(fds[0], CLONE_NEWNET) == 0 && setns(fds[1], CLONE_NEWNS) == 0 &&
              setns(fds[2], CLONE_NEWPID) == 0;
    for (int fd : fds) {
        close(fd);
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (geteuid() != 0) {
        std::fprintf(stderr, "bench_nm needs root (namespaces, a private NetworkManager)\n");
        return 1;
    }
    int status = 1;
    try {
        quorv::systest::TestNetwork net(61);
        gNet = net.Address(0).substr(0, net.Address(0).size() - 1);
        quorv::systest::Dnsmasq dhcp(net, A(1), A(77));
        quorv::systest::NmSandbox nm(net);
        // A connection as a desktop has it, active on the device.
        if (nm.Nmcli(
                  {"connection", "add", "type", "ethernet", "ifname", "lan0", "con-name", "lan0"})
                    .status != 0 ||
            nm.Nmcli({"connection", "up", "lan0"}).status != 0) {
            std::fprintf(stderr, "the connection could not be brought up\n%s", nm.Log().c_str());
            return 1;
        }
        pid_t child = fork();
        if (child == 0) {
            if (!Enter(nm.InitPid())) {
                std::perror("entering the namespaces");
                _exit(1);
            }
            benchmark::Initialize(&argc, argv);
            DeviceObserver observer;
            gObserver = &observer;
            benchmark::RunSpecifiedBenchmarks();
            benchmark::Shutdown();
            _exit(0);
        }
        waitpid(child, &status, 0);
        status = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    return status;
}
