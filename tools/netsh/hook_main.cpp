// The script dhclient runs for netsh's DHCP clients; see DhcpHook.h.
#include <cstdlib>

#include "netsh/DhcpHook.h"

int main() {
    return quorv::netsh::RunDhcpHook([](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (!value) {
            return std::nullopt;
        }
        return std::string(value);
    });
}
