#pragma once

#include "Report.h"

namespace quorv::ipconfig {

// The configuration of the current network namespace. Throws quorv::Exception when the
// interfaces cannot be read.
IpConfigModel ReadSystemModel();

}  // namespace quorv::ipconfig
