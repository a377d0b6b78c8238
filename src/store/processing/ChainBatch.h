#pragma once

// Included by EncryptBase.h only: the batch forms of TEncryptChain's modes.

#include <algorithm>
#include <cstring>
#include <vector>

namespace quorv::store {

// Decoding in modes 0 and 1 needs nothing but ciphertext to know every block's feedback,
// so all blocks of all messages are independent: they go through the cipher kLanes at a
// time whichever message they come from. A short final block is E(feedback), which the
// ciphertext gives as well; those are batched too.
template <class Cipher, int kBlock>
void TEncryptChain<Cipher, kBlock>::DecodeChained(const TCipherMessage* messages, size_t count) {
    constexpr int kLanes = Cipher::kDecodeLanes;
    const bool xorFeedback = Mode() == emXorFeedback;
    uint64_t vector[kWords];
    std::memcpy(vector, Vector().data(), kBlock);

    struct Job {
        uint64_t F[kWords];  // the feedback before the block
        const uint8_t* In;
        uint8_t* Out;
        size_t Size;  // kBlock, or the length of a short final block
    };
    Job full[kLanes], tails[kLanes];
    uint64_t work[kLanes * kWords] = {}, tailWork[kLanes * kWords] = {};
    int nFull = 0, nTails = 0;

    auto flushFull = [&] {
        Self().template DecBlocks<kLanes>(work);
        for (int j = 0; j < nFull; ++j) {
            uint64_t t[kWords];
            for (int i = 0; i < kWords; ++i) {
                t[i] = work[j * kWords + i] ^ full[j].F[i];
            }
            std::memcpy(full[j].Out, t, kBlock);
        }
        nFull = 0;
    };
    auto flushTails = [&] {
        for (int j = 0; j < nTails; ++j) {
            std::memcpy(tailWork + j * kWords, tails[j].F, kBlock);
        }
        Self().template EncBlocks<kLanes>(tailWork);
        for (int j = 0; j < nTails; ++j) {
            uint8_t x[kBlock];
            std::memcpy(x, tailWork + j * kWords, kBlock);
            for (size_t i = 0; i < tails[j].Size; ++i) {
                tails[j].Out[i] = tails[j].In[i] ^ x[i];
            }
        }
        nTails = 0;
    };

    for (size_t m = 0; m < count; ++m) {
        const uint8_t* in = messages[m].Source;
        uint8_t* out = messages[m].Dest;
        size_t n = messages[m].Size > 0 ? static_cast<size_t>(messages[m].Size) : 0;
        uint64_t f[kWords];
        std::memcpy(f, vector, kBlock);
        for (; n >= kBlock; n -= kBlock, in += kBlock, out += kBlock) {
            if (nFull == kLanes) {
                flushFull();
            }
            Job& job = full[nFull];
            uint64_t c[kWords];
            // Read before any batch writes: in place, Out is this very block.
            std::memcpy(c, in, kBlock);
            std::memcpy(work + nFull * kWords, c, kBlock);
            std::memcpy(job.F, f, kBlock);
            job.Out = out;
            ++nFull;
            for (int i = 0; i < kWords; ++i) {
                f[i] = xorFeedback ? f[i] ^ c[i] : c[i];
            }
        }
        if (n > 0) {
            if (nTails == kLanes) {
                flushTails();
            }
            Job& job = tails[nTails++];
            std::memcpy(job.F, f, kBlock);
            job.In = in;
            job.Out = out;
            job.Size = n;
        }
    }
    if (nFull > 0) {
        flushFull();
    }
    if (nTails > 0) {
        flushTails();
    }
}

// A cipher may take more lanes at once when encoding (kEncodeLanes), with EncodeLanes told
// which of them carry a message.
template <class Cipher>
constexpr bool kHasEncodeLanes = requires {
    Cipher::kEncodeLanes;
};

// Encoding chains every block to the one before, so only different messages can share a
// pass: each lane carries one message until it ends and then takes the next, longest
// first so that the long ones run side by side.
template <class Cipher, int kBlock>
void TEncryptChain<Cipher, kBlock>::EncodeChained(const TCipherMessage* messages, size_t count) {
    constexpr int kLanes = [] {
        if constexpr (kHasEncodeLanes<Cipher>) {
            return Cipher::kEncodeLanes;
        } else {
            return Cipher::kDecodeLanes;
        }
    }();
    static_assert(kLanes <= 32);
    const bool xorFeedback = Mode() == emXorFeedback;

    struct Lane {
        const uint8_t* In = nullptr;
        uint8_t* Out = nullptr;
        size_t Left = 0;
        bool Busy = false;
        uint64_t F[kWords];
    };
    std::vector<size_t> order(count);
    for (size_t m = 0; m < count; ++m) {
        order[m] = m;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return messages[a].Size > messages[b].Size; });
    size_t nextMessage = 0;
    auto take = [&](Lane& lane) {
        lane.Busy = false;
        while (nextMessage < count) {
            const TCipherMessage& msg = messages[order[nextMessage++]];
            if (msg.Size > 0) {
                lane.In = msg.Source;
                lane.Out = msg.Dest;
                lane.Left = static_cast<size_t>(msg.Size);
                lane.Busy = true;
                std::memcpy(lane.F, Vector().data(), kBlock);
                return;
            }
        }
    };

    Lane lanes[kLanes];
    int busy = 0;
    for (Lane& lane : lanes) {
        take(lane);
        busy += lane.Busy;
    }
    uint64_t work[kLanes * kWords] = {};
    while (busy > 0) {
        uint32_t busyLanes = 0;
        for (int j = 0; j < kLanes; ++j) {
            Lane& lane = lanes[j];
            uint64_t* w = work + j * kWords;
            if (!lane.Busy) {
                continue;
            }
            busyLanes |= uint32_t{1} << j;
            if (lane.Left >= kBlock) {
                std::memcpy(w, lane.In, kBlock);
                for (int i = 0; i < kWords; ++i) {
                    w[i] ^= lane.F[i];
                }
            } else {
                std::memcpy(w, lane.F, kBlock);
            }
        }
        if constexpr (kHasEncodeLanes<Cipher>) {
            Self().EncodeLanes(work, busyLanes);
        } else {
            Self().template EncBlocks<kLanes>(work);
        }
        busy = 0;
        for (int j = 0; j < kLanes; ++j) {
            Lane& lane = lanes[j];
            const uint64_t* w = work + j * kWords;
            if (!lane.Busy) {
                continue;
            }
            if (lane.Left >= kBlock) {
                std::memcpy(lane.Out, w, kBlock);
                for (int i = 0; i < kWords; ++i) {
                    lane.F[i] = xorFeedback ? lane.F[i] ^ w[i] : w[i];
                }
                lane.In += kBlock;
                lane.Out += kBlock;
                lane.Left -= kBlock;
            } else {
                uint8_t x[kBlock];
                std::memcpy(x, w, kBlock);
                for (size_t i = 0; i < lane.Left; ++i) {
                    lane.Out[i] = lane.In[i] ^ x[i];
                }
                lane.Left = 0;
            }
            if (lane.Left == 0) {
                take(lane);
            }
            busy += lane.Busy;
        }
    }
}

template <class Cipher, int kBlock>
void TEncryptChain<Cipher, kBlock>::ChainMessages(const TCipherMessage* messages, size_t count,
                                                  bool decode) {
    if (Mode() > emECB) {
        ThrowBadMode();
    }
    if (Mode() == emXorFeedback || Mode() == emCBC) {
        if (decode) {
            DecodeChained(messages, count);
        } else {
            EncodeChained(messages, count);
        }
        return;
    }
    // The byte-wise and ECB modes gain nothing from mixing messages.
    for (size_t m = 0; m < count; ++m) {
        const TCipherMessage& msg = messages[m];
        if (msg.Size <= 0) {
            continue;
        }
        std::memcpy(FeedbackBytes(), Vector().data(), kBlock);
        if (decode) {
            Chain<true>(msg.Source, msg.Dest, static_cast<size_t>(msg.Size));
        } else {
            Chain<false>(msg.Source, msg.Dest, static_cast<size_t>(msg.Size));
        }
    }
    std::memcpy(FeedbackBytes(), Vector().data(), kBlock);
}

}  // namespace quorv::store
