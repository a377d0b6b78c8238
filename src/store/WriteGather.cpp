#include "store/WriteGather.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace quorv::store {

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
        it = pieces_.emplace_hint(it, position, std::vector<uint8_t>());
    }
    std::vector<uint8_t>& piece = it->second;
    const int64_t start = it->first;
    const auto oldSize = static_cast<int64_t>(piece.size());
    if (end - start > oldSize) {
        piece.resize(static_cast<size_t>(end - start));
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
            const auto from = next->second.begin() + (pieceEnd - next->first);
            bytes_ += nextEnd - pieceEnd;
            piece.insert(piece.end(), from, next->second.end());
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
