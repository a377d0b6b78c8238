#pragma once

#include "core/Ipv4.h"

namespace quorv::netsh {

// netsh parses addresses exactly as the profile checks do.
using apply::FormatIpv4;
using apply::Ipv4;
using apply::MaskToPrefix;
using apply::ParseIpv4;
using apply::PrefixToMask;

}  // namespace quorv::netsh
