#pragma once

#include <string>

#include "core/Profile.h"

namespace quorv::app {

// The profile an apply run as root takes its orders from, read from the data file as
// TRootDataFile judged and opened it, never through the file's name again. Throws the
// refusal, or quorv::Exception when the profile is not in that file.
apply::Profile ReadProfileAsRoot(const std::string& dataFile, const std::string& name);

}  // namespace quorv::app
