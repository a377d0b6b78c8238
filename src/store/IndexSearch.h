#pragma once

#include <cstdint>

namespace quorv::store {

// Where a key stands against the item a search ended on.
enum class TSearchOutcome : uint8_t { Empty, Equal, Before, After };

struct TSearchResult {
    int32_t Position = -1;
    TSearchOutcome Outcome = TSearchOutcome::Empty;
};

// The probing both searches share: narrows [0, count) around its middle item until
// step(middle, compareAt(middle)) answers 0 or nothing is left; a negative answer goes on
// before the middle item, a positive one after it.
template <class CompareAt, class Step>
void Bisect(int32_t count, CompareAt& compareAt, Step&& step) {
    int32_t low = 0;
    int32_t high = count - 1;
    while (low <= high) {
        const int32_t middle = low + (high - low) / 2;
        const int go = step(middle, compareAt(middle));
        if (go == 0) {
            return;
        }
        if (go < 0) {
            high = middle - 1;
        } else {
            low = middle + 1;
        }
    }
}

// Plain binary search over `count` items; compareAt(k) orders the key against item k
// (-1: the key sorts before it). Stops at the first equal item it probes, so among equal
// items any one may be found.
template <class CompareAt>
TSearchResult BinarySearchKey(int32_t count, CompareAt&& compareAt) {
    TSearchResult r;
    Bisect(count, compareAt, [&](int32_t middle, int c) {
        r.Position = middle;
        r.Outcome = c == 0 ? TSearchOutcome::Equal
                           : (c < 0 ? TSearchOutcome::Before : TSearchOutcome::After);
        return c;
    });
    return r;
}

// Where a new key goes: directly after an equal item the search hit, so not necessarily
// after all equal items.
inline int32_t InsertionPosition(const TSearchResult& r) {
    switch (r.Outcome) {
        case TSearchOutcome::Equal:
        case TSearchOutcome::After:
            return r.Position + 1;
        case TSearchOutcome::Before:
            return r.Position;
        case TSearchOutcome::Empty:
            break;
    }
    return 0;
}

// The first (or last) item equal to the key; without one, the nearest item probed before
// an equal one was seen and whether the key sorts before or after it.
template <class CompareAt>
TSearchResult SearchEqualKey(int32_t count, bool last, CompareAt&& compareAt) {
    TSearchResult r;
    Bisect(count, compareAt, [&](int32_t middle, int c) {
        if (c == 0) {
            r.Outcome = TSearchOutcome::Equal;
            r.Position = middle;
            return last ? 1 : -1;
        }
        if (r.Outcome != TSearchOutcome::Equal) {
            r.Outcome = c < 0 ? TSearchOutcome::Before : TSearchOutcome::After;
            r.Position = middle;
        }
        return c;
    });
    return r;
}

}  // namespace quorv::store
