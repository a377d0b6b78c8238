#include "support/QtApp.h"

namespace {

// One for the whole test program.
const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new quorv::testing::QtEnvironment);

}  // namespace
