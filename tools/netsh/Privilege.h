#pragma once

namespace quorv::netsh {

// Whether the effective capability set holds CAP_NET_ADMIN.
bool HasNetAdmin();

}  // namespace quorv::netsh
