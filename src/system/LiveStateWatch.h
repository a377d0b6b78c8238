#pragma once

#include <memory>
#include <vector>

namespace quorv::inventory {

class NmBus;

// Tells when the live state may have changed, without polling: the kernel's notices of links,
// IPv4 addresses and routes, NetworkManager's property signals, and writes to the resolver's
// file. The owner waits for any of Fds() to become readable, then calls Drain.
class LiveStateWatch {
  public:
    LiveStateWatch();
    ~LiveStateWatch();
    LiveStateWatch(const LiveStateWatch&) = delete;
    LiveStateWatch& operator=(const LiveStateWatch&) = delete;

    // The descriptors to wait on; a source that could not be opened has none.
    std::vector<int> Fds() const;
    // Reads what is waiting, without blocking; true when something may have changed.
    bool Drain();

  private:
    int netlink_ = -1;
    int inotify_ = -1;
    std::unique_ptr<NmBus> nm_;
};

}  // namespace quorv::inventory
