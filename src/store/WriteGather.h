#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace quorv::store {

// Writes held in memory as disjoint byte ranges, a later write winning where it overlaps an
// earlier one; ranges that touch become one, so writes that follow each other (appends)
// leave the memory in one piece.
class TWriteGather {
  public:
    void Add(int64_t position, const uint8_t* bytes, int64_t count);
    // Copies the gathered bytes that fall inside [position, position + count) over buffer.
    void Overlay(int64_t position, uint8_t* buffer, int64_t count) const;
    // The whole range lies inside one gathered piece.
    bool Covers(int64_t position, int64_t count) const;
    // Past the last gathered byte, or 0.
    int64_t End() const;
    int64_t Bytes() const { return bytes_; }
    bool Empty() const { return pieces_.empty(); }
    // The pieces in offset order; Clear forgets them.
    const std::map<int64_t, std::vector<uint8_t>>& Pieces() const { return pieces_; }
    void Clear();

  private:
    std::map<int64_t, std::vector<uint8_t>> pieces_;  // start -> bytes
    int64_t bytes_ = 0;
};

}  // namespace quorv::store
