// Batches of independent messages against the same messages one call each: the lanes of a
// batch mix blocks of different messages, and must never mix their chains.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RandomBytes.h"
#include "store/processing/Enc_Blowfish.h"
#include "store/processing/Enc_Gost.h"
#include "store/processing/Enc_Twofish.h"

namespace quorv::store {
namespace {

using Bytes = std::vector<uint8_t>;

using test::Pattern;

// Lengths around the block sizes, a record's field widths and values longer than the lanes.
const size_t kLengths[] = {0, 4, 257, 1, 16, 51, 7, 8, 9, 257, 15, 24, 33, 300, 2, 257, 64, 65, 4};

template <class Cipher>
class CipherBatches : public ::testing::Test {
  protected:
    std::unique_ptr<Cipher> Keyed(uint8_t mode) {
        auto c = std::make_unique<Cipher>();
        c->SetMode(mode);
        c->InitKey("8074");
        return c;
    }
};

using CipherTypes = ::testing::Types<TEnc_Gost, TEnc_Blowfish, TEnc_Twofish>;
TYPED_TEST_SUITE(CipherBatches, CipherTypes);

TYPED_TEST(CipherBatches, BatchEqualsOneCallPerMessage) {
    for (uint8_t mode = 0; mode <= 4; ++mode) {
        // Every prefix of the list, so that lanes run out at every possible moment.
        for (size_t count = 1; count <= std::size(kLengths); ++count) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " messages " + std::to_string(count));
            auto c = this->Keyed(mode);
            std::vector<Bytes> plain, expected, out;
            for (size_t m = 0; m < count; ++m) {
                plain.push_back(Pattern(kLengths[m], uint32_t(m * 7 + mode)));
                Bytes e(kLengths[m]);
                c->EncodeBuffer(plain[m].data(), e.data(), int32_t(e.size()));
                c->Done();
                expected.push_back(e);
                out.push_back(m % 2 ? plain[m] : Bytes(kLengths[m]));
            }
            // Odd messages in place, even ones into a separate buffer.
            std::vector<TCipherMessage> batch;
            for (size_t m = 0; m < count; ++m) {
                batch.push_back({m % 2 ? out[m].data() : plain[m].data(), out[m].data(),
                                 int32_t(out[m].size())});
            }
            c->EncodeMessages(batch.data(), batch.size());
            EXPECT_EQ(out, expected);
            EXPECT_EQ(c->Feedback(), c->Vector());

            std::vector<Bytes> back;
            batch.clear();
            for (size_t m = 0; m < count; ++m) {
                back.push_back(m % 3 ? out[m] : Bytes(kLengths[m]));
                batch.push_back({m % 3 ? back[m].data() : out[m].data(), back[m].data(),
                                 int32_t(back[m].size())});
            }
            c->DecodeMessages(batch.data(), batch.size());
            EXPECT_EQ(back, plain);
            EXPECT_EQ(c->Feedback(), c->Vector());
        }
    }
}

// GOST encodes sixteen lanes at once, in vector rounds where the processor has them and
// else four lanes at a time, skipping groups without a message: both must give the same
// bytes, however many lanes a batch fills.
TEST(GostBatches, VectorAndPortableLanesAgree) {
    for (uint8_t mode : {emXorFeedback, emCBC}) {
        for (size_t count : {1, 3, 4, 5, 10, 16, 17, 40}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " messages " + std::to_string(count));
            TEnc_Gost fast, portable;
            for (TEnc_Gost* c : {&fast, &portable}) {
                c->SetMode(mode);
                c->InitKey("8074");
            }
            portable.SetPortableRoundsForTesting(true);
            std::vector<Bytes> plain, a, b;
            for (size_t m = 0; m < count; ++m) {
                const size_t length = kLengths[(m * 5) % std::size(kLengths)] + m % 3;
                plain.push_back(Pattern(length, uint32_t(m + 31 * count)));
                a.emplace_back(length);
                b.emplace_back(length);
            }
            std::vector<TCipherMessage> first, second;
            for (size_t m = 0; m < count; ++m) {
                first.push_back({plain[m].data(), a[m].data(), int32_t(a[m].size())});
                second.push_back({plain[m].data(), b[m].data(), int32_t(b[m].size())});
            }
            fast.EncodeMessages(first.data(), first.size());
            portable.EncodeMessages(second.data(), second.size());
            EXPECT_EQ(a, b);
            for (size_t m = 0; m < count; ++m) {
                Bytes one(plain[m].size());
                portable.EncodeBuffer(plain[m].data(), one.data(), int32_t(one.size()));
                portable.Done();
                EXPECT_EQ(one, a[m]) << "message " << m;
            }
        }
    }
}

TYPED_TEST(CipherBatches, RefusedLikeTheBufferCalls) {
    TypeParam fresh;
    Bytes data(16);
    const TCipherMessage one{data.data(), data.data(), 16};
    EXPECT_THROW(fresh.EncodeMessages(&one, 1), EEncryptException);
    auto c = this->Keyed(0);
    c->SetMode(7);
    EXPECT_THROW(c->DecodeMessages(&one, 1), EEncryptException);
    // An empty batch is nothing to do, whatever the mode.
    c->EncodeMessages(nullptr, 0);
}

}  // namespace
}  // namespace quorv::store
