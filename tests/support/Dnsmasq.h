#pragma once

#include <memory>
#include <string>

#include "Netns.h"

namespace quorv::systest {

// dnsmasq as DHCP server on the server end of a TestNetwork: addresses .100 to .150 of the test
// subnet, the given router and DNS server, no ping probes, its own lease and pid files in the
// network's work folder. No DNS service of its own (port 0) unless serveDns: then it answers on
// port 53 of the server end too, from no upstream (names it does not know are refused).
class Dnsmasq {
  public:
    Dnsmasq(const TestNetwork& net, const std::string& router, const std::string& dnsServer,
            bool serveDns = false);
    ~Dnsmasq();
    std::string Log() const;

  private:
    std::string log_;
    std::unique_ptr<Child> child_;
};

}  // namespace quorv::systest
