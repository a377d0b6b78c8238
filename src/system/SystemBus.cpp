#include "system/SystemBus.h"

#include <unistd.h>

#include <cstdlib>

namespace quorv::inventory {

bool SystemBusPresent() {
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address && *address) {
        return true;
    }
    return access("/run/dbus/system_bus_socket", F_OK) == 0 ||
           access("/var/run/dbus/system_bus_socket", F_OK) == 0;
}

}  // namespace quorv::inventory
