#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "StoreTestUtil.h"
#include "store/StoreFileIO.h"
#include "store/WriteGather.h"

namespace quorv::store {
namespace {

using test::TempDir;

// Random overlapping, touching and separate writes against a plain byte array: every read
// answers the newest bytes, and no two pieces touch or overlap.
TEST(WriteGather, LaterWritesWinAndTouchingPiecesJoin) {
    std::mt19937 rng(7);
    constexpr int kSpan = 600;
    std::vector<int> model(kSpan, -1);  // -1: never written
    TWriteGather gather;
    for (int round = 0; round < 3000; ++round) {
        const int at = static_cast<int>(rng() % (kSpan - 40));
        const int count = 1 + static_cast<int>(rng() % 40);
        std::vector<uint8_t> bytes(static_cast<size_t>(count));
        for (uint8_t& b : bytes) {
            b = static_cast<uint8_t>(rng());
        }
        gather.Add(at, bytes.data(), count);
        for (int k = 0; k < count; ++k) {
            model[static_cast<size_t>(at + k)] = bytes[static_cast<size_t>(k)];
        }
        int64_t lastEnd = -1;
        int64_t total = 0;
        for (const auto& [start, piece] : gather.Pieces()) {
            ASSERT_GT(start, lastEnd) << "pieces touch or overlap";
            lastEnd = start + static_cast<int64_t>(piece.size());
            total += static_cast<int64_t>(piece.size());
            for (size_t k = 0; k < piece.size(); ++k) {
                ASSERT_EQ(model[static_cast<size_t>(start) + k], piece[k]);
            }
        }
        ASSERT_EQ(total, gather.Bytes());
        ASSERT_EQ(std::count_if(model.begin(), model.end(), [](int v) { return v >= 0; }), total);
    }
    // Appends one after another stay one piece.
    TWriteGather appends;
    const uint8_t chunk[16] = {};
    for (int i = 0; i < 100; ++i) {
        appends.Add(1000 + i * 16, chunk, 16);
    }
    EXPECT_EQ(appends.Pieces().size(), 1u);
    EXPECT_TRUE(appends.Covers(1000, 1600));
    EXPECT_FALSE(appends.Covers(999, 2));
    EXPECT_EQ(appends.End(), 2600);
}

// Gathered writes are read back at once, past the file's end too, reach the file only when
// drained (in one write per piece) and are gone after a drop.
TEST(WriteGather, FileReadsSeeGatheredWritesUntilTheyAreDrained) {
    TempDir dir;
    const std::string path = dir.File("g.dat");
    ASSERT_TRUE(test::CreateProgramDatabase(path));
    TStoreFileIO io;
    io.Open(path);
    int writes = 0;
    io.SetBeforeWriteHook([&](int64_t, int64_t) { ++writes; });
    io.Lock();
    const int64_t end = io.ImageSize();
    io.SetGatherWrites(true);
    std::vector<uint8_t> tail(300);
    for (size_t k = 0; k < tail.size(); ++k) {
        tail[k] = static_cast<uint8_t>(k);
    }
    for (int64_t k = 0; k < 300; k += 30) {
        io.WriteAt(end + k, tail.data() + k, 30);
    }
    const uint8_t patch[2] = {0xAB, 0xCD};
    io.WriteAt(end - 1, patch, 2);  // straddles the old end
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(io.ImageSize(), end + 300);
    EXPECT_TRUE(io.NeedsFlush());
    std::vector<uint8_t> back(302);
    io.ReadAt(end - 2, back.data(), 302);
    EXPECT_EQ(back[1], 0xAB);
    EXPECT_EQ(back[2], 0xCD);
    EXPECT_EQ(back[3], 1);
    EXPECT_EQ(back[301], 43);  // 299 mod 256
    EXPECT_EQ(test::ReadFileBytes(path).size(), static_cast<size_t>(end));
    EXPECT_THROW(io.ReadAt(end + 299, back.data(), 2), std::exception);

    io.OrderWrites();
    EXPECT_EQ(writes, 1);
    const std::vector<uint8_t> onDisk = test::ReadFileBytes(path);
    ASSERT_EQ(onDisk.size(), static_cast<size_t>(end + 300));
    EXPECT_EQ(onDisk[static_cast<size_t>(end) + 299], 43);

    const uint8_t lost[4] = {9, 9, 9, 9};
    io.WriteAt(end + 300, lost, 4);
    io.DropGatheredWrites();
    EXPECT_EQ(io.ImageSize(), end + 300);
    io.SetGatherWrites(false);
    io.Unlock();
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(test::ReadFileBytes(path).size(), static_cast<size_t>(end + 300));
}

}  // namespace
}  // namespace quorv::store
