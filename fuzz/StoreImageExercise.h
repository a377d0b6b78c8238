#pragma once

#include <cstddef>
#include <cstdint>

namespace quorv::store::fuzz {

// The password every seed image is made with.
inline constexpr const char* kSeedPassword = "8074";

// Reads all of a database image held in memory (every table, record and memo value), then
// appends, modifies and deletes a record in each table of a copy and reads it all again.
// Damage surfaces as quorv::Exception; anything else escaping is a fault.
void ExerciseStoreImage(const uint8_t* data, size_t size);

}  // namespace quorv::store::fuzz
