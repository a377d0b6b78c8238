#pragma once

#include <string>
#include <vector>

namespace quorv::inventory {

// The name servers the C library's resolver uses, in order. Where /etc/resolv.conf points at
// systemd-resolved's local stub, the servers behind the stub are read instead, since
// 127.0.0.53 says nothing about an adapter's settings.
std::vector<std::string> ResolverNameservers();

// The nameserver lines of a resolv.conf text.
std::vector<std::string> NameserversOf(const std::string& text);

}  // namespace quorv::inventory
