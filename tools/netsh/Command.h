#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"
#include "netsh/AddressParsing.h"

namespace quorv::netsh {

// One line for stderr; netsh ends with status 1 on every refusal.
class NetshError : public quorv::Exception {
  public:
    using quorv::Exception::Exception;
};

enum class Action {
    SetAddressDhcp,    // set address name=N source=DHCP
    SetAddressStatic,  // set address name=N source=static addr=A mask=M
    AddAddress,        // add address name=N addr=A mask=M
    SetGateway,        // set address name=N gateway=G gwmetric=0
    SetDnsDhcp,        // set dns name=N source=DHCP
    SetDnsStatic,      // set dns name=N source=static addr=D register=PRIMARY
    AddDns,            // add dns name=N addr=D index=2
};

struct Command {
    Action action = Action::SetAddressDhcp;
    std::string name;
    Ipv4 address = 0;
    int prefix = 0;
    Ipv4 gateway = 0;
    unsigned metric = 0;
    Ipv4 dns = 0;
    int index = 0;  // position for add dns, 1-based; 0 appends
};

// Validates everything that can be judged without touching the system.
Command ParseCommand(const std::vector<std::string>& args);

// `servers` with an add dns command's server at its position (moved there when present).
// Throws NetshError when that makes more servers than the resolver uses.
std::vector<std::string> WithAddedDns(std::vector<std::string> servers, const Command& cmd);

// Text of user input made safe for a one-line message: control bytes escaped, long texts cut.
std::string Printable(std::string_view text, std::size_t maxBytes = 64);

}  // namespace quorv::netsh
