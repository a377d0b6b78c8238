// netsh against nmcli on a device a real NetworkManager manages (run as root). The parent makes
// the test network and the private NetworkManager; a child enters its namespaces and runs the
// benchmarks, so that every program is started directly, as the apply run starts netsh.
//
// Static: the apply-run example's four netsh commands beside one `nmcli connection modify` with
// the same settings and one `nmcli device reapply`. Every iteration switches between two address
// sets, so each is a real change. netsh waits until the device shows the settings; nmcli
// returns when NetworkManager has taken the request.
// Side by side: the static case with both in turn in every iteration, with MPTCP on (as the
// kernel starts) and off.
// DHCP: the DHCP profile's two netsh commands beside the same modify + reapply, each started
// from the static settings (restored untimed).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Dnsmasq.h"
#include "Netns.h"
#include "NmSandbox.h"

extern char** environ;

namespace {

using quorv::systest::BinDir;

const std::string kNmcli = "/usr/bin/nmcli";
std::string gNet;  // "10.213.S."

std::string A(int host) {
    return gNet + std::to_string(host);
}

int Spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool RunAll(const std::vector<std::vector<std::string>>& commands) {
    for (const auto& c : commands) {
        if (Spawn(c) != 0) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> Netsh(std::vector<std::string> tail) {
    tail.insert(tail.begin(), {BinDir() + "/netsh", "interface", "ip"});
    return tail;
}

// Two static profiles that differ in every value.
std::vector<std::vector<std::string>> NetshStatic(int variant) {
    int base = variant ? 20 : 10;
    return {Netsh({"set", "address", "name=lan0", "source=static", "addr=" + A(base),
                   "mask=255.255.255.0"}),
            Netsh({"add", "address", "name=lan0", "addr=" + A(base + 1), "mask=255.255.0.0"}),
            Netsh({"set", "address", "name=lan0", "gateway=" + A(base + 2), "gwmetric=0"}),
            Netsh({"set", "dns", "name=lan0", "source=static", "addr=" + A(base + 3),
                   "register=PRIMARY"})};
}

std::vector<std::vector<std::string>> NmcliStatic(int variant) {
    int base = variant ? 20 : 10;
    return {{kNmcli, "connection", "modify", "lan0", "ipv4.method", "manual", "ipv4.addresses",
             A(base) + "/24," + A(base + 1) + "/16", "ipv4.gateway", A(base + 2),
             "ipv4.route-metric", "0", "ipv4.dns", A(base + 3), "ipv4.ignore-auto-dns", "yes"},
            {kNmcli, "device", "reapply", "lan0"}};
}

void Measure(benchmark::State& state,
             const std::function<std::vector<std::vector<std::string>>(int)>& commands,
             bool fromStatic) {
    int variant = 0;
    for (auto _ : state) {
        if (fromStatic) {
            state.PauseTiming();
            bool ready = RunAll(NetshStatic(0));
            state.ResumeTiming();
            if (!ready) {
                state.SkipWithError("the static settings could not be restored");
                return;
            }
        }
        if (!RunAll(commands(variant))) {
            state.SkipWithError("a command failed");
            return;
        }
        variant ^= 1;
    }
}

void BM_NetshStaticProfile(benchmark::State& state) {
    Measure(state, NetshStatic, false);
}
void BM_NmcliStaticProfile(benchmark::State& state) {
    Measure(state, NmcliStatic, false);
}
void BM_NetshDhcpProfile(benchmark::State& state) {
    Measure(
        state,
        [](int) {
            return std::vector<std::vector<std::string>>{
                Netsh({"set", "address", "name=lan0", "source=dhcp"}),
                Netsh({"set", "dns", "name=lan0", "source=dhcp"})};
        },
        true);
}
void BM_NmcliDhcpProfile(benchmark::State& state) {
    Measure(
        state,
        [](int) {
            return std::vector<std::vector<std::string>>{
                {kNmcli, "connection", "modify", "lan0", "ipv4.method", "auto", "ipv4.addresses",
                 "", "ipv4.gateway", "", "ipv4.dns", "", "ipv4.ignore-auto-dns", "no"},
                {kNmcli, "device", "reapply", "lan0"}};
        },
        true);
}

// Both in turn in every iteration, so that the machine's load falls on both alike; the
// counters are the mean milliseconds of each and their ratio. nmcli returns before
// NetworkManager has applied the change, so each side is given time to settle (untimed):
// otherwise the next netsh would pay for nmcli's unfinished work.
constexpr std::chrono::milliseconds kSettle{150};

void SideBySide(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    double netsh = 0;
    double nmcli = 0;
    int variant = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        bool ok = RunAll(NetshStatic(variant));
        auto t1 = Clock::now();
        std::this_thread::sleep_for(kSettle);
        auto t2 = Clock::now();
        ok = ok && RunAll(NmcliStatic(variant ^ 1));
        auto t3 = Clock::now();
        std::this_thread::sleep_for(kSettle);
        if (!ok) {
            state.SkipWithError("a command failed");
            return;
        }
        netsh += std::chrono::duration<double, std::milli>(t1 - t0).count();
        nmcli += std::chrono::duration<double, std::milli>(t3 - t2).count();
        variant ^= 1;
    }
    double n = double(state.iterations());
    state.counters["netsh_ms"] = netsh / n;
    state.counters["nmcli_ms"] = nmcli / n;
    state.counters["ratio"] = netsh / nmcli;
}

void BM_StaticSideBySide(benchmark::State& state) {
    SideBySide(state);
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
BENCHMARK(BM_StaticSideBySideNoMptcp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);
BENCHMARK(BM_NetshStaticProfile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);
BENCHMARK(BM_NmcliStaticProfile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);
BENCHMARK(BM_NetshDhcpProfile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_NmcliDhcpProfile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

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
