#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

#include "RandomBytes.h"
#include "store/processing/Compress_Zlib.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(const Bytes& value, uint8_t level = 1) {
    TCompAlgo_Zlib algo(nullptr);
    algo.SetLevel(level);
    TMemoryStream src(value), dst;
    dst.LoadFromBuffer("junk", 4);
    algo.EncodeData(&src, &dst, static_cast<int32_t>(value.size()));
    return dst.Bytes();
}

Bytes Decode(const Bytes& image) {
    TCompAlgo_Zlib algo(nullptr);
    TMemoryStream src(image), dst;
    dst.LoadFromBuffer("junk", 4);
    algo.DecodeData(&src, &dst, static_cast<int32_t>(image.size()));
    return dst.Bytes();
}

Bytes Prefix(int32_t p) {
    const auto u = static_cast<uint32_t>(p);
    return {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
            static_cast<uint8_t>(u >> 24)};
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A zlib stream made by zlib itself, as another writer of the file would.
Bytes Deflate(const Bytes& value, int level, int strategy = Z_DEFAULT_STRATEGY, int bits = 15) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, bits, 8, strategy), Z_OK);
    Bytes out(deflateBound(&z, value.size()) + 16);
    z.next_in = const_cast<Bytef*>(value.data());
    z.avail_in = static_cast<uInt>(value.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Text that compresses to roughly half, from a fixed seed.
Bytes Text(size_t n, uint32_t seed = 1) {
    return test::RandomText(n, seed);
}

Bytes Noise(size_t n, uint32_t seed = 2) {
    return test::RandomNoise(n, seed);
}

template <class Fn>
std::string FailureOf(Fn fn) {
    try {
        fn();
    } catch (const ECompressionError& e) {
        return std::string("ECompressionError:") + e.what();
    } catch (const EDecompressionError& e) {
        return std::string("EDecompressionError:") + e.what();
    } catch (const EReadError& e) {
        return std::string("EReadError:") + e.what();
    }
    return "none";
}

const std::string kReadError = "EReadError:Stream read error";
const std::string kDataError = "EDecompressionError:error";

// ---------------------------------------------------------------------------------------------

TEST(ZlibFraming, EmptyValueAndEmptyImage) {
    EXPECT_TRUE(Encode({}).empty());
    EXPECT_TRUE(Decode({}).empty());
}

TEST(ZlibFraming, OneByteIsStored) {
    EXPECT_EQ(Encode({0x42}), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x42}));
    EXPECT_EQ(Decode({0xFF, 0xFF, 0xFF, 0xFF, 0x42}), Bytes{0x42});
}

TEST(ZlibFraming, RepeatedBytesAreCompressedWithDefaultLevel) {
    const Bytes value(1000, 'x');
    const Bytes image = Encode(value);
    ASSERT_GE(image.size(), 6u);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 6), (Bytes{0xE8, 0x03, 0x00, 0x00, 0x78, 0x9C}));
    EXPECT_EQ(Bytes(image.begin() + 4, image.end()), Deflate(value, Z_DEFAULT_COMPRESSION));
    EXPECT_EQ(Decode(image), value);
}

TEST(ZlibFraming, StoredFormWhenTheStreamIsNotShorter) {
    // Values of n bytes: k repeated bytes, then distinct ones. Look for the k whose zlib stream
    // is exactly n bytes, and the one whose stream is one byte shorter.
    bool foundEqual = false, foundShorter = false;
    for (size_t n = 12; n < 64 && !(foundEqual && foundShorter); ++n) {
        for (size_t k = 0; k < n; ++k) {
            Bytes v(k, 'a');
            for (size_t i = k; i < n; ++i) {
                v.push_back(static_cast<uint8_t>(0x20 + i - k));
            }
            const size_t len = Deflate(v, Z_DEFAULT_COMPRESSION).size();
            const Bytes image = Encode(v);
            if (len == n) {
                foundEqual = true;
                EXPECT_EQ(image, Concat(Prefix(-static_cast<int32_t>(n)), v)) << n << " " << k;
            } else if (len == n - 1) {
                foundShorter = true;
                EXPECT_EQ(image, Concat(Prefix(static_cast<int32_t>(n)), Deflate(v, -1)));
            }
            EXPECT_LE(image.size(), n + 4);
            EXPECT_EQ(Decode(image), v);
        }
    }
    EXPECT_TRUE(foundEqual);
    EXPECT_TRUE(foundShorter);
}

TEST(ZlibFraming, LargeValuesRoundTrip) {
    for (const Bytes& v : {Text(300000), Noise(200000), Bytes(1 << 20, 0)}) {
        const Bytes image = Encode(v);
        EXPECT_LE(image.size(), v.size() + 4);
        EXPECT_EQ(Decode(image), v);
    }
    // Incompressible data takes the stored form whatever its size.
    const Bytes noise = Encode(Noise(200000));
    EXPECT_EQ(Bytes(noise.begin(), noise.begin() + 4), Prefix(-200000));
}

TEST(ZlibFraming, WholeSourceWhateverItsPositionAndSize) {
    const Bytes value = Text(5000);
    TCompAlgo_Zlib algo(nullptr);
    TMemoryStream src(value), dst;
    src.SetPosition(1234);
    algo.EncodeData(&src, &dst, 7);
    EXPECT_EQ(dst.Position(), 0);
    EXPECT_EQ(dst.Bytes(), Encode(value));

    // In and out through the same stream.
    TMemoryStream s(value);
    algo.EncodeData(&s, &s, 0);
    EXPECT_EQ(s.Bytes(), Encode(value));
    algo.DecodeData(&s, nullptr, 0);
    EXPECT_EQ(s.Bytes(), value);
}

// ---------------------------------------------------------------------------------------------

TEST(ZlibLevel, CodeTable) {
    EXPECT_EQ(ZlibLevelForCode(0), 9);
    EXPECT_EQ(ZlibLevelForCode(1), -1);
    EXPECT_EQ(ZlibLevelForCode(2), 1);
    EXPECT_EQ(ZlibLevelForCode(3), 1);
    for (int code = 4; code < 256; ++code) {
        EXPECT_EQ(ZlibLevelForCode(static_cast<uint8_t>(code)), 0) << code;
    }
}

TEST(ZlibLevel, LevelReachesDeflate) {
    TCompAlgo_Zlib algo(nullptr);
    EXPECT_EQ(algo.GetLevel(), 1);
    const Bytes value = Text(20000);
    for (uint8_t code : {0, 1, 2, 3}) {
        const Bytes image = Encode(value, code);
        EXPECT_EQ(Bytes(image.begin() + 4, image.end()), Deflate(value, ZlibLevelForCode(code)))
            << int(code);
        EXPECT_EQ(Decode(image), value);
    }
    // Level 0 stores deflate blocks, which are longer than the value: the stored form wins.
    const Bytes same(1000, 'x');
    EXPECT_EQ(Encode(same, 4), Concat(Prefix(-1000), same));
}

// ---------------------------------------------------------------------------------------------

TEST(ZlibLevel, OneObjectCompressesEveryValueAsANewOneWould) {
    // The deflate state is kept between values: nothing of one value or level may leak
    // into the next image.
    TCompAlgo_Zlib algo(nullptr);
    const std::pair<Bytes, uint8_t> values[] = {
        {Text(300, 1), 3},  {Text(300, 1), 3}, {Noise(500), 3},    {Text(70000, 2), 3},
        {Text(300, 1), 0},  {Bytes{}, 0},      {Bytes(1, 'x'), 1}, {Text(300, 1), 3},
        {Text(5000, 3), 4}, {Text(300, 4), 2}, {Text(300, 1), 3}};
    for (const auto& [value, level] : values) {
        SCOPED_TRACE("size " + std::to_string(value.size()) + " level " + std::to_string(level));
        algo.SetLevel(level);
        TMemoryStream src(value), dst;
        algo.EncodeData(&src, &dst, static_cast<int32_t>(value.size()));
        EXPECT_EQ(dst.Bytes(), Encode(value, level));
        EXPECT_EQ(Decode(dst.Bytes()), value);
    }
}

// Short values go through a deflate state of their own (a smaller hash table); values on
// either side of that size, in turns, must each come back whole.
TEST(ZlibLevel, ShortAndLongValuesInTurnsRoundTrip) {
    TCompAlgo_Zlib algo(nullptr);
    algo.SetLevel(3);
    for (const size_t size : {4096, 4097, 60, 70000, 4095, 4096, 1, 9000, 300}) {
        SCOPED_TRACE(size);
        const Bytes value = Text(size, static_cast<uint32_t>(size % 7));
        TMemoryStream src(value), dst;
        algo.EncodeData(&src, &dst, static_cast<int32_t>(value.size()));
        EXPECT_EQ(Decode(dst.Bytes()), value);
        if (size >= 300) {
            EXPECT_LT(dst.Bytes().size(), value.size() * 3 / 4);
        }
    }
}

TEST(ZlibDecode, OneObjectDecodesEveryImageAsANewOneWould) {
    // The inflate state is kept between images too, also past one that fails half-way.
    TCompAlgo_Zlib algo(nullptr);
    const Bytes good[] = {Text(300, 1), Text(70000, 2), Noise(400), Bytes(1, 'x'), Text(5, 3)};
    Bytes broken = Encode(Text(3000, 4));
    broken.resize(broken.size() / 2);
    for (int pass = 0; pass < 2; ++pass) {
        for (const Bytes& value : good) {
            const Bytes image = Encode(value);
            TMemoryStream src(image), dst;
            algo.DecodeData(&src, &dst, static_cast<int32_t>(image.size()));
            EXPECT_EQ(dst.Bytes(), value);
            TMemoryStream bad(broken), out;
            EXPECT_ANY_THROW(algo.DecodeData(&bad, &out, static_cast<int32_t>(broken.size())));
        }
    }
}

TEST(ZlibDecode, StreamsOfOtherWritersDecode) {
    const Bytes value = Text(70000);
    for (int level : {0, 1, 6, 9}) {
        for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE, Z_FILTERED}) {
            const Bytes image = Concat(Prefix(70000), Deflate(value, level, strategy));
            EXPECT_EQ(Decode(image), value) << level << " " << strategy;
        }
    }
    for (int bits : {9, 12, 14}) {
        EXPECT_EQ(Decode(Concat(Prefix(70000), Deflate(value, 9, Z_DEFAULT_STRATEGY, bits))),
                  value);
    }
}

TEST(ZlibDecode, PrefixDecidesHowMuchIsRead) {
    const Bytes value = Text(1000);
    const Bytes stream = Deflate(value, 6);
    // Fewer bytes than the stream holds: reading stops there.
    EXPECT_EQ(Decode(Concat(Prefix(10), stream)), Bytes(value.begin(), value.begin() + 10));
    EXPECT_TRUE(Decode(Concat(Prefix(0), stream)).empty());
    // More than the stream holds: the image ends first.
    EXPECT_EQ(FailureOf([&] { Decode(Concat(Prefix(1001), stream)); }), kReadError);
    // Bytes after the stream's end are not more data, and must not stall the read.
    EXPECT_EQ(FailureOf([&] { Decode(Concat(Concat(Prefix(1001), stream), Noise(100000))); }),
              kReadError);
    EXPECT_EQ(Decode(Concat(Concat(Prefix(1000), stream), Noise(100))), value);
}

TEST(ZlibDecode, AbsurdPrefixFailsWithoutAllocating) {
    const Bytes stream = Deflate(Text(100), 6);
    for (int32_t p : {0x7FFFFFFF, 0x40000000, 1 << 24}) {
        EXPECT_EQ(FailureOf([&] { Decode(Concat(Prefix(p), stream)); }), kReadError) << p;
    }
    // Plausible for the image's size, but the data inflates to less.
    EXPECT_EQ(FailureOf([&] { Decode(Concat(Prefix(50000), stream)); }), kReadError);
}

// Other writers rely on the image's length, not the marker's count, for a stored value.
TEST(ZlibDecode, StoredFormIsTheRestOfTheImage) {
    EXPECT_EQ(Decode(Concat(Prefix(-3), {1, 2, 3})), (Bytes{1, 2, 3}));
    EXPECT_EQ(Decode(Concat(Prefix(-2), {1, 2, 3})), (Bytes{1, 2, 3}));
    EXPECT_EQ(Decode(Concat(Prefix(-4), {1, 2, 3})), (Bytes{1, 2, 3}));
    EXPECT_EQ(Decode(Concat(Prefix(INT32_MIN), {1, 2, 3})), (Bytes{1, 2, 3}));
    EXPECT_EQ(Decode(Prefix(-1)), Bytes{});
    for (size_t n = 1; n < 4; ++n) {
        EXPECT_EQ(FailureOf([&] { Decode(Bytes(n, 0xFF)); }), kReadError) << n;
    }
}

TEST(ZlibDecode, CorruptStreamsFail) {
    const Bytes value = Text(1000);
    const Bytes image = Encode(value);
    ASSERT_GT(image.size(), 10u);

    Bytes badHeader = image;
    badHeader[5] ^= 0x01;  // header check no longer divisible by 31
    EXPECT_EQ(FailureOf([&] { Decode(badHeader); }), kDataError);

    Bytes wrongMethod = image;
    wrongMethod[4] = 0x77;  // window too large for inflate
    EXPECT_EQ(FailureOf([&] { Decode(wrongMethod); }), kDataError);

    Bytes presetDictionary = image;
    presetDictionary[5] = 0xBB;  // 0x78BB: FDICT set, check bits valid
    EXPECT_EQ(FailureOf([&] { Decode(presetDictionary); }), kDataError);

    Bytes badChecksum = image;
    badChecksum.back() ^= 0xFF;
    EXPECT_EQ(FailureOf([&] { Decode(badChecksum); }), kDataError);

    Bytes reservedBlock = image;
    reservedBlock[6] = 0x07;  // final block of reserved type 3
    EXPECT_EQ(FailureOf([&] { Decode(reservedBlock); }), kDataError);
}

TEST(ZlibDecode, TruncatedImagesFail) {
    const Bytes value = Text(3000);
    const Bytes image = Encode(value);
    for (size_t len = 1; len < image.size(); ++len) {
        const std::string failure =
            FailureOf([&] { Decode(Bytes(image.begin(), image.begin() + len)); });
        // Neither the checksum nor the end-of-block code is needed once every byte is out,
        // so cuts into the last few bytes may pass.
        if (failure == "none") {
            EXPECT_GE(len, image.size() - 6);
        } else {
            EXPECT_EQ(failure, kReadError) << len;
        }
    }
}

TEST(ZlibDecode, MutatedImagesGiveTheValueOrAnError) {
    const Bytes values[] = {Text(2000, 7), Bytes(5000, 'q'), Text(150000, 8), Noise(300, 9)};
    std::vector<Bytes> images;
    for (const Bytes& v : values) {
        images.push_back(Encode(v));
    }
    std::mt19937 rng(20240611);
    int failures = 0;
    for (int iter = 0; iter < 1500; ++iter) {
        Bytes image = images[iter % 4];
        switch (rng() % 5) {
            case 0:  // flip bits
                for (int i = 0, n = 1 + rng() % 4; i < n; ++i) {
                    image[rng() % image.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
                }
                break;
            case 1:  // cut
                image.resize(rng() % image.size());
                break;
            case 2: {  // another prefix
                const Bytes p = Prefix(static_cast<int32_t>(rng()));
                std::copy(p.begin(), p.end(), image.begin());
                break;
            }
            case 3:  // overwrite a run inside the stream
                for (size_t i = 4 + rng() % (image.size() - 4), n = rng() % 32;
                     n > 0 && i < image.size(); ++i, --n) {
                    image[i] = static_cast<uint8_t>(rng());
                }
                break;
            default:  // garbage appended
                image.insert(image.end(), rng() % 64, static_cast<uint8_t>(rng()));
                break;
        }
        Bytes out;
        const std::string failure = FailureOf([&] { out = Decode(image); });
        if (failure == "none") {
            int32_t p = 0;
            if (image.size() >= 4) {
                std::memcpy(&p, image.data(), 4);
            }
            const int64_t rest = static_cast<int64_t>(image.size()) - 4;
            const int64_t expected = image.empty() ? 0 : (p < 0 ? rest : p);
            EXPECT_EQ(static_cast<int64_t>(out.size()), expected);
        } else {
            ++failures;
            EXPECT_TRUE(failure == kReadError || failure == kDataError) << failure;
        }
    }
    EXPECT_GT(failures, 100);
}

// ---------------------------------------------------------------------------------------------

TEST(ZlibProgress, CompressionReportsPerFullOutputBuffer) {
    std::vector<int> seen;
    TCompAlgo_Zlib algo(nullptr);
    algo.OnEncodeProgress = [&](TStoreProcessing* sender, int p) {
        EXPECT_EQ(sender, nullptr);
        seen.push_back(p);
    };
    TMemoryStream small(Text(50000)), big(Noise(300000)), dst;
    algo.EncodeData(&small, &dst, 0);
    EXPECT_TRUE(seen.empty());  // its stream fits one buffer

    algo.EncodeData(&big, &dst, 0);
    // Noise deflates to slightly more than itself: four full buffers before the last.
    ASSERT_EQ(seen.size(), 4u);
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i], seen[i - 1]);
    }
    EXPECT_GT(seen.front(), 0);
    EXPECT_LE(seen.back(), 100);
}

TEST(ZlibProgress, DecompressionReportsPerInputRefill) {
    const Bytes value = Text(400000);
    const Bytes image = Encode(value);
    ASSERT_GT(image.size(), 3u * 65536);
    std::vector<int> seen;
    TCompAlgo_Zlib algo(nullptr);
    algo.OnDecodeProgress = [&](TStoreProcessing*, int p) { seen.push_back(p); };
    TMemoryStream src(image), dst;
    algo.DecodeData(&src, &dst, 0);
    EXPECT_EQ(dst.Bytes(), value);
    const size_t refills = (image.size() - 4 + 65535) / 65536;
    ASSERT_EQ(seen.size(), refills);
    EXPECT_EQ(seen.front(), ProgressPercent(4 + 65536, static_cast<int64_t>(image.size())));
    EXPECT_EQ(seen.back(), 100);
}

}  // namespace
}  // namespace quorv::store
