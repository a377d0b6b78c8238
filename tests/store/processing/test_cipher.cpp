// The chaining modes and key set-up, for each cipher. The fast loops are checked against a
// byte-at-a-time model of the modes built on the single-block Encode/Decode, whose block
// values are pinned by the known-answer tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RandomBytes.h"
#include "store/processing/Enc_Blowfish.h"
#include "store/processing/Enc_Gost.h"
#include "store/processing/Enc_Twofish.h"
#include "store/processing/Hash_SHA.h"

namespace quorv::store {
namespace {

using Bytes = std::vector<uint8_t>;

using test::Pattern;

// The modes as plainly written, one byte at a time.
class ModeModel {
  public:
    ModeModel(TEncrypt& cipher) : c_(cipher), f_(cipher.Vector()) {}

    Bytes Run(bool decode, const Bytes& in) {
        const size_t b = static_cast<size_t>(c_.BlockSize());
        Bytes out(in.size());
        size_t i = 0;
        switch (c_.Mode()) {
            case emXorFeedback:
            case emCBC:
                for (; i + b <= in.size(); i += b) {
                    Bytes blk(in.begin() + i, in.begin() + i + b);
                    if (decode) {
                        Bytes p = blk;
                        c_.Decode(p.data());
                        for (size_t j = 0; j < b; ++j) {
                            out[i + j] = p[j] ^ f_[j];
                            f_[j] = c_.Mode() == emCBC ? blk[j] : uint8_t(f_[j] ^ blk[j]);
                        }
                    } else {
                        for (size_t j = 0; j < b; ++j) {
                            blk[j] ^= f_[j];
                        }
                        c_.Encode(blk.data());
                        for (size_t j = 0; j < b; ++j) {
                            out[i + j] = blk[j];
                            f_[j] = c_.Mode() == emCBC ? blk[j] : uint8_t(f_[j] ^ blk[j]);
                        }
                    }
                }
                if (i < in.size()) {
                    Bytes x = f_;
                    c_.Encode(x.data());
                    for (size_t j = 0; i + j < in.size(); ++j) {
                        out[i + j] = in[i + j] ^ x[j];
                    }
                    if (c_.Mode() == emXorFeedback) {
                        for (size_t j = 0; j < b; ++j) {
                            f_[j] ^= x[j];
                        }
                    }
                }
                break;
            case emCFB8:
            case emOFB8:
                for (; i < in.size(); ++i) {
                    Bytes x = f_;
                    c_.Encode(x.data());
                    out[i] = in[i] ^ x[0];
                    f_.erase(f_.begin());
                    if (c_.Mode() == emOFB8) {
                        f_.push_back(x[0]);
                    } else {
                        f_.push_back(decode ? in[i] : out[i]);
                    }
                }
                break;
            case emECB:
                out = in;
                for (; i + b <= in.size(); i += b) {
                    decode ? c_.Decode(out.data() + i) : c_.Encode(out.data() + i);
                }
                break;
        }
        return out;
    }
    const Bytes& Feedback() const { return f_; }

  private:
    TEncrypt& c_;
    Bytes f_;
};

const size_t kLengths[] = {0, 1, 7, 8, 9, 15, 16, 17, 31, 33, 47, 64, 65, 4095, 4096, 4097, 10000};

template <class Cipher>
class CipherModes : public ::testing::Test {
  protected:
    std::unique_ptr<Cipher> Keyed(uint8_t mode, std::string_view password = "8074") {
        auto c = std::make_unique<Cipher>();
        c->SetMode(mode);
        c->InitKey(password);
        return c;
    }
};

using CipherTypes = ::testing::Types<TEnc_Gost, TEnc_Blowfish, TEnc_Twofish>;
TYPED_TEST_SUITE(CipherModes, CipherTypes);

TYPED_TEST(CipherModes, EveryModeMatchesModelAndRoundTrips) {
    for (uint8_t mode = 0; mode <= 4; ++mode) {
        for (size_t n : kLengths) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " length " + std::to_string(n));
            auto c = this->Keyed(mode);
            // Exact-size heap buffers, so that a sanitizer build catches any over-read.
            const Bytes plain = Pattern(n, uint32_t(n * 31 + mode));
            Bytes cipher(n);
            c->EncodeBuffer(plain.data(), cipher.data(), int32_t(n));
            ModeModel enc(*c);
            ASSERT_EQ(cipher, enc.Run(false, plain));
            EXPECT_EQ(c->Feedback(), enc.Feedback());
            if (n >= 8 && mode != emECB) {
                EXPECT_NE(cipher, plain);
            }

            c->Done();
            EXPECT_EQ(c->Feedback(), c->Vector());
            Bytes back(n);
            c->DecodeBuffer(cipher.data(), back.data(), int32_t(n));
            EXPECT_EQ(back, plain);
            ModeModel dec(*c);
            dec.Run(true, cipher);
            EXPECT_EQ(c->Feedback(), dec.Feedback());

            // In place gives the same bytes.
            c->Done();
            Bytes inplace = plain;
            c->EncodeBuffer(inplace.data(), inplace.data(), int32_t(n));
            EXPECT_EQ(inplace, cipher);
            c->Done();
            c->DecodeBuffer(inplace.data(), inplace.data(), int32_t(n));
            EXPECT_EQ(inplace, plain);
        }
    }
}

TYPED_TEST(CipherModes, PiecesOfWholeBlocksEqualOneCall) {
    // The stream operations feed 4096-byte pieces without resetting the chain.
    const Bytes plain = Pattern(10000, 7);
    for (uint8_t mode = 0; mode <= 4; ++mode) {
        auto c = this->Keyed(mode);
        Bytes whole(plain.size()), pieces(plain.size());
        c->EncodeBuffer(plain.data(), whole.data(), int32_t(plain.size()));
        c->Done();
        for (size_t off = 0; off < plain.size(); off += 4096) {
            const auto len = int32_t(std::min<size_t>(4096, plain.size() - off));
            c->EncodeBuffer(plain.data() + off, pieces.data() + off, len);
        }
        EXPECT_EQ(pieces, whole) << "mode " << int(mode);
        c->Done();
        Bytes back(plain.size());
        for (size_t off = 0; off < plain.size(); off += 4096) {
            const auto len = int32_t(std::min<size_t>(4096, plain.size() - off));
            c->DecodeBuffer(whole.data() + off, back.data() + off, len);
        }
        EXPECT_EQ(back, plain) << "mode " << int(mode);
    }
}

TYPED_TEST(CipherModes, ShortValuesInModeZero) {
    auto c = this->Keyed(emXorFeedback);
    Bytes ev = c->Vector();
    c->Encode(ev.data());
    // One byte: that byte XOR the first byte of E(Vector); the register takes E(Vector) in.
    uint8_t one = 0x5A;
    c->EncodeBuffer(&one, &one, 1);
    EXPECT_EQ(one, uint8_t(0x5A ^ ev[0]));
    for (size_t j = 0; j < ev.size(); ++j) {
        EXPECT_EQ(c->Feedback()[j], uint8_t(c->Vector()[j] ^ ev[j]));
    }
    c->Done();
    c->DecodeBuffer(&one, &one, 1);
    EXPECT_EQ(one, 0x5A);
}

TYPED_TEST(CipherModes, EcbLeavesTheTailPlain) {
    auto c = this->Keyed(emECB);
    const size_t b = size_t(c->BlockSize());
    const Bytes plain = Pattern(3 * b + b - 1, 11);
    Bytes out(plain.size());
    c->EncodeBuffer(plain.data(), out.data(), int32_t(plain.size()));
    EXPECT_TRUE(std::equal(plain.begin() + 3 * b, plain.end(), out.begin() + 3 * b));
    EXPECT_FALSE(std::equal(plain.begin(), plain.begin() + b, out.begin()));
}

TYPED_TEST(CipherModes, DoneRewindsTheChain) {
    auto c = this->Keyed(emXorFeedback);
    const Bytes plain = Pattern(100, 5);
    Bytes a(100), b(100), chained(100);
    c->EncodeBuffer(plain.data(), a.data(), 100);
    c->EncodeBuffer(plain.data(), chained.data(), 100);
    c->Done();
    c->EncodeBuffer(plain.data(), b.data(), 100);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, chained);
}

TYPED_TEST(CipherModes, NotInitializedIsRefused) {
    TypeParam c;
    uint8_t buf[16] = {};
    const std::string message =
        std::string(c.ClassName()) + " is not initialized call Init() or InitKey() before.";
    for (int decode = 0; decode < 2; ++decode) {
        try {
            decode ? c.DecodeBuffer(buf, buf, 16) : c.EncodeBuffer(buf, buf, 16);
            ADD_FAILURE() << "no exception";
        } catch (const EEncryptException& e) {
            EXPECT_EQ(e.Code(), 3);
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
    // Protect wipes the key and with it the keyed state.
    c.InitKey("x");
    c.EncodeBuffer(buf, buf, 16);
    c.Protect();
    EXPECT_THROW(c.EncodeBuffer(buf, buf, 16), EEncryptException);
    EXPECT_EQ(c.Flags(), 0u);
}

TYPED_TEST(CipherModes, KeyFromPassword) {
    TypeParam a, b;
    a.InitKey("secret");
    b.InitKey("secret");
    EXPECT_EQ(a.Vector(), b.Vector());
    EXPECT_EQ(a.Feedback(), a.Vector());
    EXPECT_EQ(a.Flags(), TEncrypt::kKeyFromPassword | TEncrypt::kInitialized);
    const Bytes first = a.Vector();
    a.InitKey("secret");
    EXPECT_EQ(a.Vector(), first);
    a.InitKey("Secret");
    EXPECT_NE(a.Vector(), first);

    // The key is the 20-byte SHA-0 digest, and the vector E_K(FF..FF).
    THash_SHA hash;
    hash.Update("secret", 6);
    hash.Final();
    TypeParam raw;
    raw.Init(hash.Digest(), 20, nullptr);
    EXPECT_EQ(raw.Vector(), first);
    EXPECT_EQ(raw.Flags(), TEncrypt::kInitialized);
    Bytes ff(size_t(raw.BlockSize()), 0xFF);
    raw.Encode(ff.data());
    EXPECT_EQ(ff, first);

    // The empty password still gives a key.
    TypeParam empty;
    empty.InitKey("");
    uint8_t byte = 1;
    empty.EncodeBuffer(&byte, &byte, 1);
    EXPECT_NE(empty.Vector(), first);

    // A given initial vector is taken as it is.
    const Bytes iv = Pattern(size_t(a.BlockSize()), 9);
    a.InitKey("secret", iv.data());
    EXPECT_EQ(a.Vector(), iv);
    EXPECT_EQ(a.Feedback(), iv);
}

TYPED_TEST(CipherModes, KeySizesAreClamped) {
    TypeParam c;
    const int32_t max = c.MaxKeySize();
    Bytes big = Pattern(size_t(max) + 100, 13);
    for (auto& b : big) {
        b |= 1;  // zero padding must not make two lengths the same key
    }
    const Bytes exact(big.begin(), big.begin() + max);
    TypeParam cut, full;
    cut.Init(big.data(), int32_t(big.size()), nullptr);
    full.Init(exact.data(), max, nullptr);
    EXPECT_EQ(cut.Vector(), full.Vector());

    TypeParam none, negative, null;
    const uint8_t dummy = 0;
    none.Init(&dummy, 0, nullptr);
    negative.Init(big.data(), -5, nullptr);
    null.Init(nullptr, 16, nullptr);
    EXPECT_EQ(negative.Vector(), none.Vector());
    EXPECT_EQ(null.Vector(), none.Vector());
    EXPECT_TRUE(none.Flags() & TEncrypt::kInitialized);

    // Every length up to the maximum, each from a buffer of exactly that size.
    Bytes previous;
    for (int32_t n = 1; n <= max; ++n) {
        const Bytes key(big.begin(), big.begin() + n);
        TypeParam k;
        k.Init(key.data(), n, nullptr);
        EXPECT_NE(k.Vector(), previous) << n;
        previous = k.Vector();
    }
}

TYPED_TEST(CipherModes, SizesAndBuffersAtTheEdges) {
    auto c = this->Keyed(emXorFeedback);
    Bytes buf = Pattern(64, 17);
    const Bytes before = buf;
    c->EncodeBuffer(buf.data(), buf.data(), 0);
    c->EncodeBuffer(buf.data(), buf.data(), -1);
    EXPECT_EQ(buf, before);
    EXPECT_EQ(c->Feedback(), c->Vector());

    // Overlapping source and destination that are not the same buffer.
    Bytes expected(40);
    c->EncodeBuffer(before.data(), expected.data(), 40);
    c->Done();
    Bytes shifted = before;
    c->EncodeBuffer(shifted.data(), shifted.data() + 3, 40);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), shifted.begin() + 3));

    // A mode the store never writes is refused, and nothing is touched.
    c->SetMode(5);
    buf = before;
    EXPECT_THROW(c->EncodeBuffer(buf.data(), buf.data(), 16), EEncryptException);
    EXPECT_THROW(c->DecodeBuffer(buf.data(), buf.data(), 16), EEncryptException);
    EXPECT_EQ(buf, before);
}

// Chained encoding has a round for processors with BMI1 and one for all others; whichever
// this machine runs, both must give the model's bytes, with every key byte (the fast round
// indexes its first table by key and value bytes added).
TEST(GostRounds, BothRoundFormsMatchTheModel) {
    for (uint8_t mode : {emXorFeedback, emCBC}) {
        for (const char* password : {"8074", "", "a longer password than the key"}) {
            for (size_t n : {8, 9, 64, 4096, 4103}) {
                SCOPED_TRACE(std::string(password) + " mode " + std::to_string(mode) + " length " +
                             std::to_string(n));
                const Bytes plain = Pattern(n, uint32_t(n + mode));
                TEnc_Gost portable, fast;
                for (TEnc_Gost* c : {&portable, &fast}) {
                    c->SetMode(mode);
                    c->InitKey(password);
                }
                portable.SetPortableRoundsForTesting(true);
                Bytes a(n), b(n);
                portable.EncodeBuffer(plain.data(), a.data(), int32_t(n));
                fast.EncodeBuffer(plain.data(), b.data(), int32_t(n));
                ModeModel model(fast);
                EXPECT_EQ(a, model.Run(false, plain));
                EXPECT_EQ(b, a);
            }
        }
    }
}

}  // namespace
}  // namespace quorv::store
