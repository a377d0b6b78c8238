#include "store/WriteGather.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

namespace quorv::store {

TGatheredBytes::TGatheredBytes(TGatheredBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

TGatheredBytes& TGatheredBytes::operator=(TGatheredBytes&& other) noexcept {
    if (this != &other) {
        std::free(data_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

TGatheredBytes::~TGatheredBytes() {
    std::free(data_);
}

void TGatheredBytes::Resize(size_t size) {
    if (size > capacity_) {
        const size_t capacity = std::max(size, capacity_ * 2);
        void* grown = std::realloc(data_, capacity);
        if (grown == nullptr) {
            throw std::bad_alloc();
        }
        data_ = static_cast<uint8_t*>(grown);
        capacity_ = capacity;
    }
    size_ = size;
}

void TGatheredBytes::Append(const uint8_t* bytes, size_t count) {
    const size_t at = size_;
    Resize(size_ + count);
    std::memcpy(data_ + at, bytes, count);
}

void TWriteGather::Add(int64_t position, const uint8_t* bytes, int64_t count) {
    if (count <= 0) {
        return;
    }
    const int64_t end = position + count;
    // The piece that ends at or after `position` and starts at or before it grows in place,
    // so a run of appends never copies what it gathered before.
    auto it = pieces_.upper_bound(position);
    if (it != pieces_.begin()) {
        auto before = std::prev(it);
        if (before->first + static_cast<int64_t>(before->second.size()) >= position) {
            it = before;
        }
    }
    if (it == pieces_.end() || it->first > position) {
        it = pieces_.emplace_hint(it, position, TGatheredBytes());
    }
    TGatheredBytes& piece = it->second;
    const int64_t start = it->first;
    const auto oldSize = static_cast<int64_t>(piece.size());
    if (end - start > oldSize) {
        piece.Resize(static_cast<size_t>(end - start));
        bytes_ += end - start - oldSize;
    }
    std::memcpy(piece.data() + (position - start), bytes, static_cast<size_t>(count));
    // Later pieces that the grown one reaches: older bytes under the new ones give way,
    // those beyond are kept.
    auto next = std::next(it);
    while (next != pieces_.end() && next->first <= start + static_cast<int64_t>(piece.size())) {
        const int64_t pieceEnd = start + static_cast<int64_t>(piece.size());
        const int64_t nextEnd = next->first + static_cast<int64_t>(next->second.size());
        bytes_ -= static_cast<int64_t>(next->second.size());
        if (nextEnd > pieceEnd) {
            bytes_ += nextEnd - pieceEnd;
            piece.Append(next->second.data() + (pieceEnd - next->first),
                         static_cast<size_t>(nextEnd - pieceEnd));
        }
        next = pieces_.erase(next);
    }
}

void TWriteGather::Overlay(int64_t position, uint8_t* buffer, int64_t count) const {
    const int64_t end = position + count;
    auto it = pieces_.upper_bound(position);
    if (it != pieces_.begin()) {
        --it;
    }
    for (; it != pieces_.end() && it->first < end; ++it) {
        const int64_t from = std::max(position, it->first);
        const int64_t to = std::min(end, it->first + static_cast<int64_t>(it->second.size()));
        if (from < to) {
            std::memcpy(buffer + (from - position), it->second.data() + (from - it->first),
                        static_cast<size_t>(to - from));
        }
    }
}

bool TWriteGather::Covers(int64_t position, int64_t count) const {
    auto it = pieces_.upper_bound(position);
    if (it == pieces_.begin()) {
        return false;
    }
    --it;
    return position + count <= it->first + static_cast<int64_t>(it->second.size());
}

int64_t TWriteGather::End() const {
    if (pieces_.empty()) {
        return 0;
    }
    const auto& last = *pieces_.rbegin();
    return last.first + static_cast<int64_t>(last.second.size());
}

void TWriteGather::Clear() {
    pieces_.clear();
    bytes_ = 0;
}

}  // namespace quorv::store
