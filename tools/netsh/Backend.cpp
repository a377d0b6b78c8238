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

// A NetworkManager on the bus may run in another network namespace (the host's, seen from a
// container or a test) and have a device of the same name: that one is not ours to change.
bool SameDevice(const inventory::NmClient& nm, NMDevice* device, const std::string& ifname) {
    if (ifname.size() >= IFNAMSIZ) {
        return false;
    }
    const char* theirs = nm_device_get_hw_address(device);
    if (!theirs || !*theirs) {
        // Without a hardware address only the index is left to compare.
        try {
            GVariant* reply =
                nm.Call(nm_object_get_path(NM_OBJECT(device)), "org.freedesktop.DBus.Properties",
                        "Get", g_variant_new("(ss)", NM_DBUS_INTERFACE_DEVICE, "Ifindex"), "(v)");
            GVariant* value = nullptr;
            g_variant_get(reply, "(v)", &value);
            bool same = g_variant_is_of_type(value, G_VARIANT_TYPE_INT32) &&
                        g_variant_get_int32(value) == int(if_nametoindex(ifname.c_str()));
            g_variant_unref(value);
            g_variant_unref(reply);
            return same;
        } catch (const inventory::NmError&) {
            return false;
        }
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
    return strcasecmp(ours, theirs) == 0;
}

}  // namespace

BackendChoice ChooseBackend(const std::string& ifname) {
    BackendChoice choice;
    choice.client = inventory::NmClient::Connect();
    if (!choice.client) {
        choice.reason = "NetworkManager does not run on the system bus";
        return choice;
    }
    NMDevice* device = nm_client_get_device_by_iface(choice.client->Get(), ifname.c_str());
    if (!device) {
        choice.reason = "NetworkManager has no device of that name";
    } else if (!SameDevice(*choice.client, device, ifname)) {
        choice.reason = "NetworkManager's device of that name is in another network namespace";
    } else if (!nm_device_get_managed(device)) {
        choice.reason = "NetworkManager leaves the device unmanaged";
    } else {
        choice.networkManager = true;
        choice.device = device;
        choice.held.reset(NM_DEVICE(g_object_ref(device)));
        choice.reason = "NetworkManager manages the device";
        return choice;
    }
    choice.client.reset();
    return choice;
}

}  // namespace quorv::netsh
