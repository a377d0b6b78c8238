// netsh against ip: the apply-run example's static profile, as the apply run hands it to one
// `netsh -f -`, beside the same settings made with ip commands, each its own process, inside a
// private network namespace whose resolv.conf is bound over /etc/resolv.conf. The parent makes and
// removes the namespace; a child enters it and runs the benchmarks.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "system/Process.h"

namespace {

const std::string kIp = "/usr/sbin/ip";
const std::string kNetsh = std::string(QUORV_BIN_DIR) + "/netsh";
const std::string kDev = "bench0";

using quorv::platform::RunAndWait;

const char* kResolvConf = "search bench.test\nnameserver 192.0.2.53\n";

std::string DnsRecord() {
    struct stat ns {};
    stat("/proc/self/ns/net", &ns);
    return "/run/quorv-netsh/net-" + std::to_string(ns.st_ino) + "/dns." + kDev;
}

// Programs with their arguments; a netsh gets its script on standard input.
struct Program {
    std::vector<std::string> args;
    std::string input = {};
};

// Puts the namespace back to no address, no default route and the original resolver, so that
// every run is a real change.
void Reset() {
    RunAndWait({kIp, "-4", "addr", "flush", "dev", kDev});
    RunAndWait({kIp, "-4", "route", "flush", "default"});
    // The resolver and netsh's record of it go back too, so every DNS step is a real change.
    std::ofstream("/etc/resolv.conf", std::ios::trunc) << kResolvConf;
    std::remove(DnsRecord().c_str());
}

bool RunPrograms(const std::vector<Program>& commands) {
    for (const auto& command : commands) {
        // Started as the apply run starts netsh.
        quorv::platform::WaitOptions wait;
        wait.input = command.input;
        const quorv::platform::RunOutput run =
            quorv::platform::RunAndWaitCaptured(command.args, {}, wait);
        if (run.exitCode != 0) {
            std::fputs((run.standardOutput + run.standardError).c_str(), stderr);
            return false;
        }
    }
    return true;
}

void Run4(benchmark::State& state, const std::vector<Program>& commands) {
    for (auto _ : state) {
        state.PauseTiming();
        Reset();
        state.ResumeTiming();
        if (!RunPrograms(commands)) {
            state.SkipWithError("a command failed");
            return;
        }
    }
}

std::vector<Program> NetshProfile() {
    const std::string n = "name=\"" + kDev + "\"";
    return {{{kNetsh, "-f", "-"},
             "netsh interface ip set address " + n +
                 " source=static addr=10.0.0.5 mask=255.255.255.0\n"
                 "netsh interface ip add address " +
                 n +
                 " addr=10.0.0.6 mask=255.255.0.0\n"
                 "netsh interface ip set address " +
                 n +
                 " gateway=10.0.0.1 gwmetric=0\n"
                 "netsh interface ip set dns " +
                 n + " source=static addr=10.0.0.2 register=PRIMARY\n"}};
}

// ip has no resolver command; the fourth brings the link up, which netsh's first line also does.
std::vector<Program> IpProfile() {
    return {{{kIp, "addr", "replace", "10.0.0.5/24", "dev", kDev}},
            {{kIp, "addr", "add", "10.0.0.6/16", "dev", kDev}},
            {{kIp, "route", "replace", "default", "via", "10.0.0.1", "dev", kDev, "metric", "0"}},
            {{kIp, "link", "set", "dev", kDev, "up"}}};
}

void BM_NetshStaticProfile(benchmark::State& state) {
    Run4(state, NetshProfile());
}

void BM_IpStaticProfile(benchmark::State& state) {
    Run4(state, IpProfile());
}

// Both in turn in every iteration, so that the machine's load (shared with builds) falls on
// both alike; the counters are the mean milliseconds of each and their ratio.
void BM_StaticSideBySide(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    double netsh = 0, ip = 0;
    auto timed = [&](const std::vector<Program>& programs, double& sum) {
        state.PauseTiming();
        Reset();
        state.ResumeTiming();
        auto t0 = Clock::now();
        bool ok = RunPrograms(programs);
        sum += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        return ok;
    };
    for (auto _ : state) {
        if (!timed(NetshProfile(), netsh) || !timed(IpProfile(), ip)) {
            state.SkipWithError("a command failed");
            return;
        }
    }
    const double n = double(state.iterations());
    state.counters["netsh_ms"] = netsh / n;
    state.counters["ip_ms"] = ip / n;
    state.counters["ratio"] = netsh / ip;
}

BENCHMARK(BM_NetshStaticProfile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_IpStaticProfile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_StaticSideBySide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);

bool Enter(const std::string& ns) {
    int fd = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) {
        return false;
    }
    close(fd);
    // As `ip netns exec` does: a private mount namespace with the namespace's resolv.conf.
    return unshare(CLONE_NEWNS) == 0 &&
           mount("", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount(("/etc/netns/" + ns + "/resolv.conf").c_str(), "/etc/resolv.conf", nullptr,
                 MS_BIND, nullptr) == 0;
}

void Remove(const std::string& ns) {
    struct stat id {};
    if (stat(("/run/netns/" + ns).c_str(), &id) == 0) {
        std::string state = "/run/quorv-netsh/net-" + std::to_string(id.st_ino);
        std::remove((state + "/dns." + kDev).c_str());
        rmdir(state.c_str());
    }
    RunAndWait({kIp, "netns", "del", ns});
    std::remove(("/etc/netns/" + ns + "/resolv.conf").c_str());
    rmdir(("/etc/netns/" + ns).c_str());
}

void RemoveLeftovers() {
    if (DIR* dir = opendir("/run/netns")) {
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name.rfind("quorvb-", 0) == 0) {
                pid_t owner = std::atoi(name.c_str() + 7);
                if (owner > 0 && kill(owner, 0) != 0) {
                    Remove(name);
                }
            }
        }
        closedir(dir);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (geteuid() != 0) {
        std::fprintf(stderr, "bench_system needs root (network namespaces)\n");
        return 1;
    }
    RemoveLeftovers();
    const std::string ns = "quorvb-" + std::to_string(getpid());
    if (RunAndWait({kIp, "netns", "add", ns}) != 0) {
        return 1;
    }
    mkdir("/etc/netns", 0755);
    mkdir(("/etc/netns/" + ns).c_str(), 0755);
    std::ofstream(("/etc/netns/" + ns + "/resolv.conf").c_str())
        << "search bench.test\nnameserver 192.0.2.53\n";
    int status = 1;
    if (RunAndWait({kIp, "link", "add", kDev, "netns", ns, "type", "veth", "peer", "name", "bench1",
                    "netns", ns}) == 0 &&
        RunAndWait({kIp, "-n", ns, "link", "set", "bench1", "up"}) == 0) {
        pid_t child = fork();
        if (child == 0) {
            if (!Enter(ns)) {
                std::perror("entering the namespace");
                _exit(1);
            }
            benchmark::Initialize(&argc, argv);
            benchmark::RunSpecifiedBenchmarks();
            benchmark::Shutdown();
            _exit(0);
        }
        waitpid(child, &status, 0);
        status = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }
    Remove(ns);
    return status;
}
