// Watches the live state of the namespace it runs in: "ready" once watching, then after each
// notice one line per adapter with its addresses, so a test can time how soon a change is told.
#include <poll.h>

#include <cstdio>
#include <vector>

#include "system/LiveState.h"
#include "system/LiveStateWatch.h"

namespace {

void Print(const quorv::inventory::LiveState& state) {
    for (const auto& adapter : state.adapters) {
        std::printf("%s%s", adapter.name.c_str(), adapter.dhcp ? " dhcp" : "");
        for (const auto& entry : adapter.addresses) {
            std::printf(" %s/%s", entry.address.c_str(), entry.mask.c_str());
        }
        std::printf("\n");
    }
    std::fflush(stdout);
}

}  // namespace

int main() {
    quorv::inventory::LiveStateWatch watch;
    std::vector<pollfd> fds;
    for (int fd : watch.Fds()) {
        fds.push_back({fd, POLLIN, 0});
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            continue;
        }
        if (watch.Drain()) {
            Print(quorv::inventory::ReadLiveNetwork());
        }
    }
}
