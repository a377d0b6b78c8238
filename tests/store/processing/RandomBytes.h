#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace quorv::store::test {

// Text that compresses to roughly half, the same for the same seed.
inline std::vector<uint8_t> RandomText(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) {
        b = static_cast<uint8_t>('a' + rng() % 16);
    }
    return v;
}

// Bytes no compressor shrinks, the same for the same seed.
inline std::vector<uint8_t> RandomNoise(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) {
        b = static_cast<uint8_t>(rng());
    }
    return v;
}

// Bytes from a small linear congruential generator: cheap, and the same for the same seed
// on every library, for the cipher tests' round trips.
inline std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) {
        seed = seed * 1664525 + 1013904223;
        b = static_cast<uint8_t>(seed >> 24);
    }
    return v;
}

}  // namespace quorv::store::test
