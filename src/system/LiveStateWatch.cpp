#include "system/LiveStateWatch.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "system/NmBus.h"

namespace quorv::inventory {
namespace {

int OpenNetlink() {
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0) {
        return -1;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

constexpr uint32_t kFileEvents = IN_CLOSE_WRITE | IN_MODIFY;

// The file itself as well as its folder: a bind-mounted resolv.conf (a network namespace's)
// is written in place under another folder, while a replaced one shows only in the folder.
// The file's watch is renewed after each notice, since a replaced file takes it along.
void WatchResolvConf(int fd) {
    inotify_add_watch(fd, "/etc/resolv.conf", kFileEvents);
}

int OpenInotify() {
    const int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd < 0) {
        return -1;
    }
    constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE;
    int watches = 0;
    for (const char* folder : {"/etc", "/run/systemd/resolve"}) {
        watches += inotify_add_watch(fd, folder, kEvents) >= 0 ? 1 : 0;
    }
    if (watches == 0) {
        close(fd);
        return -1;
    }
    WatchResolvConf(fd);
    return fd;
}

// True when anything was read.
bool Empty(int fd) {
    bool any = false;
    alignas(8) char buffer[8192];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            any = true;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        // EAGAIN; ENOBUFS when the kernel dropped notices, which is a change too.
        return any || (n < 0 && errno == ENOBUFS);
    }
}

bool ResolverEvent(int fd) {
    bool relevant = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return relevant;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            const std::string name = event->len > 0 ? event->name : "";
            // A notice without a name is the file's own.
            relevant =
                relevant || name.empty() || name == "resolv.conf" || name == "stub-resolv.conf";
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

}  // namespace

LiveStateWatch::LiveStateWatch() : netlink_(OpenNetlink()), inotify_(OpenInotify()) {
    try {
        nm_ = NmBus::Connect();
        if (nm_) {
            nm_->WatchChanges();
        }
    } catch (const NmError&) {
        nm_.reset();
    }
}

LiveStateWatch::~LiveStateWatch() {
    for (int fd : {netlink_, inotify_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

std::vector<int> LiveStateWatch::Fds() const {
    std::vector<int> fds;
    for (int fd : {netlink_, inotify_, nm_ ? nm_->EventFd() : -1}) {
        if (fd >= 0) {
            fds.push_back(fd);
        }
    }
    return fds;
}

bool LiveStateWatch::Drain() {
    bool changed = false;
    if (netlink_ >= 0) {
        changed = Empty(netlink_) || changed;
    }
    if (inotify_ >= 0 && ResolverEvent(inotify_)) {
        WatchResolvConf(inotify_);
        changed = true;
    }
    if (nm_) {
        try {
            changed = nm_->TakeChange() || changed;
        } catch (const NmError&) {
            // NetworkManager's bus went away; the kernel's notices still come.
            nm_.reset();
            changed = true;
        }
    }
    return changed;
}

}  // namespace quorv::inventory
