#pragma once

#include <string>

#include "cli/Invocation.h"
#include "core/Profile.h"

namespace quorv::cli {

// The profile `qic add` describes, every value checked as netsh would check it at apply, so
// that nothing is stored that cannot be applied. The script file is read here.
apply::Profile BuildProfile(const std::string& name, const AddOptions& add);

}  // namespace quorv::cli
