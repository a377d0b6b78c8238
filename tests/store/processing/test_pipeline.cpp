#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "RandomBytes.h"
#include "store/processing/Compress_Zlib.h"
#include "store/processing/EncAlgos.h"
#include "store/processing/Enc_Gost.h"
#include "store/processing/ProcessMgr.h"
#include "store/processing/StoreErrors.h"
#include "store/processing/StoreProcessing.h"

namespace quorv::store {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(size_t n, uint32_t seed = 3) {
    return test::RandomText(n, seed);
}

Bytes Noise(size_t n, uint32_t seed = 4) {
    return test::RandomNoise(n, seed);
}

void Select(TStoreProcessing& p, const char* cipher, const char* password = "8074") {
    p.CompressMgr().SetAlgoName("ZLIB");
    p.EncryptMgr().SetAlgoName(cipher);
    p.EncryptMgr().SetMode(0);
    p.EncryptMgr().InitKey(password);
}

// One buffer call over all of the bytes, by a separately keyed cipher.
Bytes CipherOnce(const char* cipher, const Bytes& v, bool decode = false) {
    TEncryptMgr mgr;
    mgr.SetAlgoName(cipher);
    mgr.InitKey("8074");
    Bytes out(v.size());
    if (decode) {
        mgr.DecodeBuffer(v.data(), out.data(), static_cast<int32_t>(v.size()));
    } else {
        mgr.EncodeBuffer(v.data(), out.data(), static_cast<int32_t>(v.size()));
    }
    return out;
}

Bytes Zlib(const Bytes& v) {
    TCompAlgo_Zlib algo(nullptr);
    TMemoryStream s(v), d;
    algo.EncodeData(&s, &d, 0);
    return d.Bytes();
}

// A stream that accepts only so many bytes.
class TShortStream : public TMemoryStream {
  public:
    explicit TShortStream(int64_t room) : room_(room) {}
    int64_t Write(const void* buffer, int64_t count) override {
        if (Position() + count > room_) {
            return 0;
        }
        return TMemoryStream::Write(buffer, count);
    }

  private:
    int64_t room_;
};

// ---------------------------------------------------------------------------------------------

TEST(PipelineStreams, EveryCombinationRoundTrips) {
    const Bytes values[] = {{}, {0x42}, Text(9), Text(5000), Noise(70000), Text(150000)};
    for (const char* cipher : {"Gost", "Blowfish", "Twofish"}) {
        TStoreProcessing p;
        Select(p, cipher);
        for (const Bytes& v : values) {
            for (int combo = 0; combo < 4; ++combo) {
                const bool compress = combo & 1, encrypt = combo & 2;
                TMemoryStream src(v), image, back;
                p.EncodeStream(src, image, compress, encrypt);
                if (v.empty()) {
                    EXPECT_TRUE(image.Bytes().empty()) << cipher << combo;
                }
                Bytes expected = compress ? Zlib(v) : v;
                if (encrypt) {
                    expected = CipherOnce(cipher, expected);
                }
                EXPECT_EQ(image.Bytes(), expected) << cipher << " " << combo << " " << v.size();
                p.DecodeStream(image, back, compress, encrypt);
                EXPECT_EQ(back.Bytes(), v) << cipher << " " << combo << " " << v.size();
            }
        }
    }
}

TEST(PipelineStreams, SameStreamInAndOut) {
    TStoreProcessing p;
    Select(p, "Gost");
    const Bytes v = Text(20000);
    for (int combo = 0; combo < 4; ++combo) {
        TMemoryStream s(v);
        p.EncodeStream(s, s, combo & 1, combo & 2);
        p.DecodeStream(s, s, combo & 1, combo & 2);
        EXPECT_EQ(s.Bytes(), v) << combo;
    }
}

// ---------------------------------------------------------------------------------------------

TEST(PipelineCipher, ManagerCallsAreIndependentMessages) {
    TStoreProcessing p;
    Select(p, "Gost");
    const Bytes plain(16, 0x5A);
    Bytes a(16), b(16), c(16);
    p.EncryptMgr().EncodeBuffer(plain.data(), a.data(), 16);
    p.EncryptMgr().EncodeBuffer(plain.data(), b.data(), 16);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, plain);
    p.EncodeFieldBuffer(plain.data(), c.data(), true, 16);
    EXPECT_EQ(c, a);
    p.DecodeFieldBuffer(c.data(), c.data(), true, 16);  // in place
    EXPECT_EQ(c, plain);
    p.DecodeFieldBuffer(a.data(), b.data(), false, 16);  // a plain copy
    EXPECT_EQ(b, a);
}

TEST(PipelineCipher, AlgorithmMapsOntoItsCipher) {
    const Bytes plain = Text(37);
    for (uint8_t mode = 0; mode <= 4; ++mode) {
        TEnc_Gost direct;
        direct.SetMode(mode);
        direct.InitKey("secret");
        Bytes expected(plain.size());
        direct.EncodeBuffer(plain.data(), expected.data(), 37);

        TEncryptMgr mgr;
        mgr.SetAlgoName("Gost");
        mgr.SetMode(mode);
        EXPECT_EQ(mgr.EncryptAlgo()->GetMode(), mode);
        mgr.InitKey("secret");
        Bytes out(plain.size());
        mgr.EncodeBuffer(plain.data(), out.data(), 37);
        EXPECT_EQ(out, expected) << int(mode);
    }
}

TEST(PipelineCipher, StreamEqualsOneBufferCall) {
    const Bytes v = Noise(10000);
    TEncryptMgr mgr;
    mgr.SetAlgoName("Twofish");
    mgr.InitKey("8074");
    std::vector<int> seen;
    mgr.EncryptAlgo()->OnEncodeProgress = [&](TStoreProcessing*, int p) { seen.push_back(p); };

    TMemoryStream src(v), dst;
    mgr.EncodeData(&src, &dst, 10000);
    EXPECT_EQ(dst.Bytes(), CipherOnce("Twofish", v));
    // 4096, 4096 and 1808 bytes, then the closing report with total 0.
    EXPECT_EQ(seen, (std::vector<int>{0, 41, 82, 100, 0}));

    TMemoryStream back;
    dst.SetPosition(0);
    mgr.DecodeData(&dst, &back, -1);
    EXPECT_EQ(back.Bytes(), v);
}

TEST(PipelineCipher, WholeSourceInPlace) {
    const Bytes v = Noise(9000);
    TEncryptMgr mgr;
    mgr.SetAlgoName("Blowfish");
    mgr.InitKey("8074");

    // A negative size takes all of the source from its start; no dest works in place.
    TMemoryStream s(v);
    s.SetPosition(5000);
    mgr.EncodeData(&s, nullptr, -1);
    EXPECT_EQ(s.Bytes(), CipherOnce("Blowfish", v));
}

TEST(PipelineCipher, FailedStreamLeavesTheChainAtItsStart) {
    TEncryptMgr mgr;
    mgr.SetAlgoName("Gost");
    mgr.InitKey("8074");
    const Bytes plain(16, 7);
    Bytes before(16), after(16);
    mgr.EncodeBuffer(plain.data(), before.data(), 16);

    std::vector<int> seen;
    mgr.EncryptAlgo()->OnEncodeProgress = [&](TStoreProcessing*, int p) { seen.push_back(p); };
    TMemoryStream src(Noise(10000));
    TShortStream dst(5000);
    EXPECT_THROW(mgr.EncodeData(&src, &dst, -1), EWriteError);
    EXPECT_EQ(seen, (std::vector<int>{0, 41, 0}));

    mgr.EncodeBuffer(plain.data(), after.data(), 16);
    EXPECT_EQ(after, before);
}

TEST(PipelineCipher, UnkeyedCipherFailsWithClosingReport) {
    TEncryptMgr mgr;
    mgr.SetAlgoName("Gost");
    std::vector<int> seen;
    mgr.EncryptAlgo()->OnDecodeProgress = [&](TStoreProcessing*, int p) { seen.push_back(p); };
    TMemoryStream src(Noise(100)), dst;
    try {
        mgr.DecodeData(&src, &dst, -1);
        ADD_FAILURE() << "no error";
    } catch (const EEncryptException& e) {
        EXPECT_EQ(e.Code(), 3);
        EXPECT_STREQ(e.what(), "TEnc_Gost is not initialized call Init() or InitKey() before.");
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 0}));
}

// ---------------------------------------------------------------------------------------------

TEST(PipelineProgress, PercentRoundsHalfToEven) {
    EXPECT_EQ(ProgressPercent(0, 0), 0);
    EXPECT_EQ(ProgressPercent(5, 0), 0);
    EXPECT_EQ(ProgressPercent(1, 8), 12);   // 12.5
    EXPECT_EQ(ProgressPercent(3, 8), 38);   // 37.5
    EXPECT_EQ(ProgressPercent(1, 200), 0);  // 0.5
    EXPECT_EQ(ProgressPercent(3, 200), 2);  // 1.5
    EXPECT_EQ(ProgressPercent(5, 200), 2);  // 2.5
    EXPECT_EQ(ProgressPercent(2, 3), 67);
    EXPECT_EQ(ProgressPercent(7, 7), 100);
}

TEST(PipelineProgress, DatabaseEventsFollowTheSelectedAlgorithms) {
    TStoreProcessing p;
    Select(p, "Gost");
    std::vector<int> enc, dec, comp, uncomp;
    p.SetProgressEvents({[&](int x) { comp.push_back(x); }, [&](int x) { uncomp.push_back(x); },
                         [&](int x) { enc.push_back(x); }, [&](int x) { dec.push_back(x); }});

    // Eight chunks: the halves at 12.5 and 87.5 go to the even neighbours.
    TMemoryStream src(Noise(32768)), image, back;
    p.EncodeStream(src, image, false, true);
    EXPECT_EQ(enc, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88, 100, 0}));
    p.DecodeStream(image, back, false, true);
    EXPECT_EQ(dec, enc);
    EXPECT_TRUE(comp.empty());

    TMemoryStream big(Text(400000)), packed, unpacked;
    p.EncodeStream(big, packed, true, false);
    p.DecodeStream(packed, unpacked, true, false);
    EXPECT_EQ(unpacked.Bytes(), big.Bytes());
    EXPECT_FALSE(comp.empty());
    ASSERT_FALSE(uncomp.empty());
    EXPECT_EQ(uncomp.back(), 100);

    // A manager without owner reports to nobody.
    TEncryptMgr lone;
    lone.SetAlgoName("Gost");
    EXPECT_FALSE(lone.EncryptAlgo()->OnEncodeProgress);
}

// ---------------------------------------------------------------------------------------------

TEST(PipelineLock, ReleasedAfterAFailure) {
    TStoreProcessing p;
    TMemoryStream src(Text(100)), dst;
    try {
        p.EncodeStream(src, dst, true, false);
        ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "General error");
    }
    uint8_t b[4] = {1, 2, 3, 4}, c[4] = {};
    EXPECT_THROW(p.EncodeFieldBuffer(b, c, true, 4), EDatabaseError);
    // The lock is recursive, so ask from another thread.
    auto free = std::async(std::launch::async, [&] {
        if (!p.Mutex().try_lock()) {
            return false;
        }
        p.Mutex().unlock();
        return true;
    });
    EXPECT_TRUE(free.get());
    p.EncodeFieldBuffer(b, c, false, 4);
    EXPECT_EQ(Bytes(c, c + 4), Bytes(b, b + 4));
}

TEST(PipelineLock, SerialisesConcurrentCallers) {
    TStoreProcessing p;
    Select(p, "Blowfish");
    const Bytes v = Text(30000);
    TMemoryStream src(v), expected;
    p.EncodeStream(src, expected, true, true);
    auto worker = [&] {
        for (int i = 0; i < 20; ++i) {
            TMemoryStream s(v), image, back;
            p.EncodeStream(s, image, true, true);
            p.DecodeStream(image, back, true, true);
            if (image.Bytes() != expected.Bytes() || back.Bytes() != v) {
                return false;
            }
        }
        return true;
    };
    auto a = std::async(std::launch::async, worker);
    auto b = std::async(std::launch::async, worker);
    EXPECT_TRUE(a.get());
    EXPECT_TRUE(b.get());
}

}  // namespace
}  // namespace quorv::store
