#include "system/ResolverServers.h"

#include <fstream>
#include <sstream>

namespace quorv::inventory {
namespace {

constexpr const char* kResolvConf = "/etc/resolv.conf";
constexpr const char* kResolvedUpstream = "/run/systemd/resolve/resolv.conf";

std::string ReadSmallFile(const char* path) {
    std::ifstream in(path);
    std::string text;
    // A resolv.conf is a few lines; a larger file is not one to trust.
    char buffer[4096];
    while (in && text.size() < 64 * 1024) {
        in.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<size_t>(in.gcount()));
    }
    return text;
}

}  // namespace

std::vector<std::string> NameserversOf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword, value;
        if (words >> keyword >> value && keyword == "nameserver") {
            out.push_back(value);
        }
    }
    return out;
}

std::vector<std::string> ResolverNameservers() {
    std::vector<std::string> servers = NameserversOf(ReadSmallFile(kResolvConf));
    if (servers.size() == 1 && servers.front() == "127.0.0.53") {
        return NameserversOf(ReadSmallFile(kResolvedUpstream));
    }
    return servers;
}

}  // namespace quorv::inventory
