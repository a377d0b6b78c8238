#pragma once

#include "WindowTestApplication.h"

namespace quorv::testing {

// Registered once for the test program, whichever of its files include this.
inline const auto* const kWindowTestApplication =
    ::testing::AddGlobalTestEnvironment(new WindowTestApplication<>);

}  // namespace quorv::testing
