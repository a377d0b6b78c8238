#include "Dnsmasq.h"

#include <filesystem>
#include <stdexcept>

namespace quorv::systest {

Dnsmasq::Dnsmasq(const TestNetwork& net, const std::string& router, const std::string& dnsServer,
                 bool serveDns) {
    std::string dir = net.WorkDir();
    log_ = dir + "/dnsmasq.log";
    std::string program =
        std::filesystem::exists("/usr/sbin/dnsmasq") ? "/usr/sbin/dnsmasq" : "/sbin/dnsmasq";
    child_ = std::make_unique<Child>(
        std::vector<std::string>{
            "/usr/sbin/ip",
            "netns",
            "exec",
            net.Server(),
            program,
            "--keep-in-foreground",
            "--conf-file=/dev/null",
            "--no-resolv",
            "--no-hosts",
            serveDns ? "--port=53" : "--port=0",
            "--no-ping",
            std::string("--interface=") + TestNetwork::kServerIf,
            "--bind-interfaces",
            "--dhcp-authoritative",
            "--user=root",
            "--log-dhcp",
            "--log-facility=-",
            "--dhcp-range=" + net.Address(100) + "," + net.Address(150) + ",255.255.255.0,1h",
            "--dhcp-option=option:router," + router,
            "--dhcp-option=option:dns-server," + dnsServer,
            "--dhcp-leasefile=" + dir + "/dnsmasq.leases",
            "--pid-file=" + dir + "/dnsmasq.pid"},
        log_);
    bool started = WaitFor([&] { return std::filesystem::exists(dir + "/dnsmasq.pid"); }, 5000);
    if (!started || !child_->Running()) {
        throw std::runtime_error("dnsmasq did not start: " + Log());
    }
}

Dnsmasq::~Dnsmasq() = default;

std::string Dnsmasq::Log() const {
    return ReadFile(log_);
}

}  // namespace quorv::systest
