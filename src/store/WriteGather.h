#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

namespace quorv::store {

// One gathered piece's bytes. Grown with realloc, not as a vector: a long run of appends is
// then mostly extended where it lies (large blocks are remapped, not copied), and new room
// is not zero-filled before it is written over.
class TGatheredBytes {
  public:
    TGatheredBytes() = default;
    TGatheredBytes(TGatheredBytes&& other) noexcept;
    TGatheredBytes& operator=(TGatheredBytes&& other) noexcept;
    ~TGatheredBytes();

    size_t size() const { return size_; }
    const uint8_t* data() const { return data_; }
    uint8_t* data() { return data_; }
    uint8_t operator[](size_t i) const { return data_[i]; }
    // Bytes past the old size are left for the caller to fill.
    void Resize(size_t size);
    void Append(const uint8_t* bytes, size_t count);

  private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

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
    const std::map<int64_t, TGatheredBytes>& Pieces() const { return pieces_; }
    void Clear();

  private:
    std::map<int64_t, TGatheredBytes> pieces_;  // start -> bytes
    int64_t bytes_ = 0;
};

}  // namespace quorv::store
