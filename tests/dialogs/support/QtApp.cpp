#include "WindowTestApplication.h"

namespace {

// One for the whole test program.
const auto* const kWindowTestApplication =
    ::testing::AddGlobalTestEnvironment(new quorv::testing::WindowTestApplication);

}  // namespace
