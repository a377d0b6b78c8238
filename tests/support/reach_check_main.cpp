// Runs the reachability check where it is started (inside a test's network namespace):
// quorv-reach-check TIMEOUT-MS gw:ADDRESS|dns:ADDRESS...
// Prints "gw|dns ADDRESS yes|no" per target in the order given, then "elapsed MS".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "system/Reachability.h"

using quorv::platform::ReachTarget;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quorv-reach-check TIMEOUT-MS gw:ADDRESS|dns:ADDRESS...\n");
        return 2;
    }
    std::vector<ReachTarget> targets;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("gw:", 0) == 0) {
            targets.push_back({ReachTarget::Kind::Gateway, arg.substr(3)});
        } else if (arg.rfind("dns:", 0) == 0) {
            targets.push_back({ReachTarget::Kind::Dns, arg.substr(4)});
        } else {
            std::fprintf(stderr, "not a target: %s\n", argv[i]);
            return 2;
        }
    }
    const auto start = std::chrono::steady_clock::now();
    const auto results =
        quorv::platform::CheckReachable(targets, std::chrono::milliseconds(std::atoi(argv[1])));
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    for (const auto& r : results) {
        std::printf("%s %s %s\n", r.target.kind == ReachTarget::Kind::Gateway ? "gw" : "dns",
                    r.target.address.c_str(), r.answers ? "yes" : "no");
    }
    std::printf("elapsed %lld\n", static_cast<long long>(elapsed.count()));
    return 0;
}
