#include "netsh/Backend.h"

#include <net/if.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace quorv::netsh {
namespace {

using inventory::DbusValue;

// A NetworkManager on the bus may run in another network namespace (the host's, seen from a
// container or a test) and have a device of the same name: that one is not ours to change.
bool SameDevice(const DbusValue& device, const std::string& ifname) {
    if (ifname.size() >= IFNAMSIZ) {
        return false;
    }
    std::string theirs = inventory::StringOf(device, "HwAddress");
    if (theirs.empty()) {
        // Without a hardware address only the index is left to compare.
        const DbusValue& index = device.Find("Ifindex");
        long long value =
            index.Is("u") ? (long long)index.Bits() : (index.Is("i") ? index.AsInt64() : -1);
        return value == (long long)if_nametoindex(ifname.c_str());
    }
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, ifname.c_str(), IFNAMSIZ - 1);
    bool read = fd >= 0 && ioctl(fd, SIOCGIFHWADDR, &request) == 0;
    if (fd >= 0) {
        close(fd);
    }
    if (!read) {
        return false;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(request.ifr_hwaddr.sa_data);
    char ours[32];
    std::snprintf(ours, sizeof ours, "%02x:%02x:%02x:%02x:%02x:%02x", b[0], b[1], b[2], b[3], b[4],
                  b[5]);
    return strcasecmp(ours, theirs.c_str()) == 0;
}

BackendChoice NotRunning() {
    BackendChoice choice;
    choice.reason = "NetworkManager does not run on the system bus";
    return choice;
}

}  // namespace

BackendChoice ChooseBackend(const std::string& ifname) {
    BackendChoice choice;
    choice.bus = inventory::NmBus::Connect();
    if (!choice.bus) {
        return NotRunning();
    }
    std::string path;
    DbusValue device;
    try {
        path = choice.bus->DeviceByInterface(ifname);  // throws only when the bus says so
    } catch (const inventory::NmError&) {
        return NotRunning();
    }
    if (!path.empty()) {
        try {
            device = choice.bus->Properties(path, NM_DBUS_INTERFACE_DEVICE);
        } catch (const inventory::NmError&) {
            // A device read that failed while NetworkManager runs is a device gone in between.
            if (!choice.bus->Running()) {
                return NotRunning();
            }
        }
    }
    if (device.Empty()) {
        choice.reason = "NetworkManager has no device of that name";
    } else if (!SameDevice(device, ifname)) {
        choice.reason = "NetworkManager's device of that name is in another network namespace";
    } else if (!inventory::BoolOf(device, "Managed")) {
        choice.reason = "NetworkManager leaves the device unmanaged";
    } else {
        choice.networkManager = true;
        choice.device = path;
        choice.properties = std::move(device);
        choice.reason = "NetworkManager manages the device";
        return choice;
    }
    choice.bus.reset();
    return choice;
}

}  // namespace quorv::netsh
