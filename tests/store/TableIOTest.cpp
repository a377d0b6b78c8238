#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "StoreTestUtil.h"
#include "store/BlobSlot.h"
#include "store/Coding.h"
#include "store/IndexHooks.h"
#include "store/MemoryMedium.h"
#include "store/StoreTableIO.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

using test::TempDir;

struct Profile {
    int32_t Num = 0;
    std::string Name;
    int32_t Icon = 0;
    std::string Script;
};

// Fields: Num (ftAutoInc, at 0), Name (ftString 50, at 4), Icon (ftInteger, at 55),
// Script (ftMemo, at 59); 79 bytes a record.
class TableIO : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::CreateProgramDatabase(path_));
        OpenAll(test::ProfileFields());
    }

    void OpenAll(const std::vector<TFieldDesc>& fields) {
        io_ = std::make_unique<TStoreFileIO>();
        io_->Open(path_);
        io_->SetSyncedAppends(false);
        ASSERT_TRUE(io_->CheckPassword(test::kPassword));
        if (io_->FindTable("P") < 0) {
            ASSERT_TRUE(io_->CreateTable("P", fields));
        }
        table_ = std::make_unique<TStoreTableIO>(*io_, "P");
        table_->Open();
    }

    void Reopen() {
        table_.reset();
        io_.reset();
        OpenAll({});
    }

    TFieldBuffers Values(int32_t num, const std::string& name, int32_t icon,
                         const std::string* script) {
        TFieldBuffers v(4);
        v.SetInt32(0, num);
        v.SetText(1, name);
        v.SetInt32(2, icon);
        if (script) {
            memo_ = std::make_unique<TMemoryStream>();
            memo_->LoadFromBuffer(script->data(), script->size());
            v.SetBlob(3, memo_.get());
        }
        return v;
    }

    int32_t Append(const std::string& name, int32_t icon = 0, const std::string& script = "",
                   int32_t num = 0) {
        return table_->AppendRecord(Values(num, name, icon, &script));
    }

    Profile Read(int32_t recNo) {
        std::vector<uint8_t> rec(static_cast<size_t>(table_->RecordSize()));
        table_->ReadRecord(recNo, rec.data());
        Profile p;
        p.Num = DecodeFixed32(rec.data());
        p.Name = TStoreTableIO::TextOf(rec.data() + 4, 51);
        p.Icon = DecodeFixed32(rec.data() + 55);
        const auto blob = table_->BlobStream(rec.data(), 3);
        const auto& v = blob->Value();
        p.Script.assign(v.begin(), v.end());
        return p;
    }

    TBlobSlot Slot(int32_t recNo) {
        uint8_t b[kBlobSlotSize];
        io_->ReadAt(table_->RecordTab()[recNo].DataOffset + 59, b, kBlobSlotSize);
        return TBlobSlot::DecodeFrom(b);
    }

    int32_t DiskI32(int64_t at) {
        uint8_t b[4];
        io_->ReadAt(at, b, 4);
        return DecodeFixed32(b);
    }

    TempDir dir_;
    std::string path_ = dir_.File("db.dat");
    std::unique_ptr<TStoreFileIO> io_;
    std::unique_ptr<TStoreTableIO> table_;
    std::unique_ptr<TMemoryStream> memo_;
};

TEST_F(TableIO, FirstRecordFollowsItsBlock) {
    ASSERT_EQ(table_->RecordSize(), 79);
    const int64_t end = io_->ImageSize();
    EXPECT_EQ(Append("home", 11, "ipconfig /all"), 0);
    const int32_t header = 3821;
    EXPECT_EQ(DiskI32(header + 33), end);
    EXPECT_EQ(DiskI32(header + 37), 1);
    EXPECT_EQ(DiskI32(header + 41), 1);
    EXPECT_EQ(DiskI32(end), 0);               // next block
    EXPECT_EQ(DiskI32(end + 4), end + 5124);  // entry 0: the record follows the block
    const auto bytes = test::ReadFileBytes(path_);
    EXPECT_EQ(bytes[end + 8], 0);
    EXPECT_TRUE(std::all_of(bytes.begin() + end + 9, bytes.begin() + end + 5124,
                            [](uint8_t c) { return c == 0; }));
    const TBlobSlot slot = Slot(0);
    EXPECT_EQ(slot.Offset, end + 5124 + 79);
    EXPECT_EQ(slot.AreaSize, BlobAreaFor(slot.Length));
    EXPECT_EQ(io_->ImageSize(), slot.Offset + slot.AreaSize);

    const Profile p = Read(0);
    EXPECT_EQ(p.Num, 1);
    EXPECT_EQ(p.Name, "home");
    EXPECT_EQ(p.Icon, 11);
    EXPECT_EQ(p.Script, "ipconfig /all");
    // Field values are enciphered one by one: the name is not in the file as text.
    const std::string file(bytes.begin(), bytes.end());
    EXPECT_EQ(file.find("home"), std::string::npos);
    EXPECT_EQ(file.find("ipconfig"), std::string::npos);
}

TEST_F(TableIO, SecondBlockAfter1024Records) {
    for (int i = 0; i < 1025; ++i) {
        ASSERT_EQ(Append("r" + std::to_string(i), i, i % 100 == 0 ? std::string(300, 'x') : ""), i);
    }
    ASSERT_EQ(table_->RecordTabBlocks().size(), 2u);
    const int32_t first = table_->RecordTabBlocks()[0];
    const int32_t second = table_->RecordTabBlocks()[1];
    EXPECT_EQ(DiskI32(first), second);
    EXPECT_EQ(DiskI32(second), 0);
    EXPECT_EQ(DiskI32(second + 4), second + 5124);
    EXPECT_EQ(table_->RecordTab()[1024].DataOffset, second + 5124);
    EXPECT_EQ(DiskI32(3821 + 37), 1025);
    Reopen();
    ASSERT_EQ(table_->PhysicalOrder().size(), 1025u);
    for (int i : {0, 1, 500, 1023, 1024}) {
        const Profile p = Read(i);
        EXPECT_EQ(p.Num, i + 1);
        EXPECT_EQ(p.Name, "r" + std::to_string(i));
        EXPECT_EQ(p.Icon, i);
        EXPECT_EQ(p.Script, i % 100 == 0 ? std::string(300, 'x') : "");
    }
    EXPECT_EQ(Append("after"), 1025);
    EXPECT_EQ(Read(1025).Num, 1026);
}

TEST_F(TableIO, DeleteOnlyFlagsTheEntry) {
    Append("a");
    Append("b");
    Append("c");
    const int64_t size = io_->ImageSize();
    table_->DeleteRecord(1);  // "b"
    EXPECT_EQ(io_->ImageSize(), size);
    EXPECT_EQ(DiskI32(3821 + 37), 3);
    const auto bytes = test::ReadFileBytes(path_);
    EXPECT_EQ(bytes[table_->RecordTabBlocks()[0] + 4 + 5 + 4], 1);
    ASSERT_EQ(table_->PhysicalOrder().size(), 2u);
    EXPECT_EQ(table_->PhysicalOrder()[1].RecNo, 2);
    EXPECT_FALSE(table_->IsLive(1));
    EXPECT_EQ(Append("d"), 3);  // numbers are never reused
    EXPECT_EQ(Read(3).Num, 4);
    Reopen();
    ASSERT_EQ(table_->PhysicalOrder().size(), 3u);
    EXPECT_EQ(table_->PositionOf(1), -1);
    EXPECT_EQ(table_->PositionOf(3), 2);
    EXPECT_THROW(table_->DeleteRecord(3), EDatabaseError);
}

TEST_F(TableIO, AutoIncrementRules) {
    Append("a");
    for (int i = 0; i < 4; ++i) {
        Append("x");
    }
    EXPECT_EQ(table_->Header().AutoIncCounter, 5);
    EXPECT_EQ(Read(Append("explicit", 0, "", 100)).Num, 100);
    EXPECT_EQ(Read(Append("next")).Num, 101);
    EXPECT_EQ(Read(Append("below", 0, "", 3)).Num, 3);  // stored as given
    EXPECT_EQ(table_->Header().AutoIncCounter, 101);
    EXPECT_EQ(Read(Append("next")).Num, 102);

    // Modify: 0 keeps the value, a higher one moves the counter at once.
    TFieldBuffers keep(4);
    keep.SetInt32(0, 0);
    table_->ModifyRecord(0, keep);
    EXPECT_EQ(Read(0).Num, 1);
    TFieldBuffers high(4);
    high.SetInt32(0, 500);
    table_->ModifyRecord(0, high);
    EXPECT_EQ(Read(0).Num, 500);
    EXPECT_EQ(DiskI32(3821 + 41), 500);
    EXPECT_EQ(Read(Append("next")).Num, 501);

    // Deleting the highest record does not lower the counter.
    table_->DeleteRecord(static_cast<int32_t>(table_->PhysicalOrder().size()) - 1);
    Reopen();
    EXPECT_EQ(Read(Append("again")).Num, 502);
}

TEST_F(TableIO, StringsAreCutWholeCharacters) {
    const std::string e = "\xC3\xA9";  // 2 bytes
    std::string longName;
    for (int i = 0; i < 30; ++i) {
        longName += e;
    }
    longName = "a" + longName;  // 61 bytes: the cut at 50 falls inside a character
    const int32_t n = Append(longName);
    const Profile p = Read(n);
    EXPECT_EQ(p.Name.size(), 49u);
    EXPECT_EQ(p.Name, longName.substr(0, 49));
    std::vector<uint8_t> rec(79);
    table_->ReadRecord(n, rec.data());
    EXPECT_EQ(rec[4 + 49], 0);
    EXPECT_EQ(rec[4 + 50], 0);  // the last byte is always NUL
    EXPECT_EQ(Read(Append(std::string(80, 'z'))).Name, std::string(50, 'z'));
}

TEST_F(TableIO, ModifyRewritesOnlyFlaggedFields) {
    Append("name", 12, "script one");
    TFieldBuffers v(4);
    v.SetInt32(2, 13);
    table_->ModifyRecord(0, v);
    Profile p = Read(0);
    EXPECT_EQ(p.Name, "name");
    EXPECT_EQ(p.Icon, 13);
    EXPECT_EQ(p.Script, "script one");
    TMemoryStream script;
    script.LoadFromBuffer("two", 3);
    TFieldBuffers w(4);
    w.SetText(1, "renamed");
    w.SetBlob(3, &script);
    table_->ModifyRecord(0, w);
    p = Read(0);
    EXPECT_EQ(p.Name, "renamed");
    EXPECT_EQ(p.Icon, 13);
    EXPECT_EQ(p.Script, "two");
    Reopen();
    EXPECT_EQ(Read(0).Name, "renamed");
    EXPECT_THROW(table_->ModifyRecord(1, w), EDatabaseError);
}

// A modify never writes over the record it replaces: the new version goes to the end of
// the file and one write of the entry's data offset switches to it. Values that did not
// change keep their areas, and a modify that changes nothing writes nothing.
TEST_F(TableIO, ModifyWritesANewVersionThenSwitchesToIt) {
    std::string big(5000, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>((i * 7919) >> 3);  // does not compress to nothing
    }
    Append("first", 1, "short");
    Append("last", 2, "short");
    const int32_t oldOffset = table_->RecordTab()[0].DataOffset;
    const TBlobSlot oldSlot = Slot(0);
    const auto before = test::ReadFileBytes(path_);

    TMemoryStream v;
    v.LoadFromBuffer(big.data(), big.size());
    TFieldBuffers w(4);
    w.SetText(1, "renamed");
    w.SetBlob(3, &v);
    table_->ModifyRecord(0, w);
    const auto after = test::ReadFileBytes(path_);
    const int32_t newOffset = table_->RecordTab()[0].DataOffset;
    EXPECT_EQ(newOffset, static_cast<int64_t>(before.size()));
    EXPECT_EQ(DiskI32(table_->RecordTabBlocks()[0] + 4), newOffset);
    const TBlobSlot moved = Slot(0);
    EXPECT_EQ(moved.Offset, newOffset + table_->RecordSize());
    EXPECT_EQ(static_cast<int64_t>(after.size()), moved.Offset + moved.AreaSize);
    // Only the entry's offset changed in what was there before.
    size_t changed = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        changed += before[i] != after[i];
    }
    EXPECT_LE(changed, 4u);
    EXPECT_TRUE(std::equal(before.begin() + oldOffset, before.end(), after.begin() + oldOffset));

    // A new name alone: the memo keeps the area it has.
    TFieldBuffers n(4);
    n.SetText(1, "again");
    n.SetBlob(3, &v);
    table_->ModifyRecord(0, n);
    EXPECT_NE(table_->RecordTab()[0].DataOffset, newOffset);
    EXPECT_EQ(Slot(0).Offset, moved.Offset);
    const auto unchanged = test::ReadFileBytes(path_);
    table_->ModifyRecord(0, n);
    EXPECT_EQ(test::ReadFileBytes(path_), unchanged);

    Reopen();
    EXPECT_EQ(Read(0).Name, "again");
    EXPECT_EQ(Read(0).Icon, 1);
    EXPECT_EQ(Read(0).Script, big);
    EXPECT_EQ(Read(1).Name, "last");
    EXPECT_EQ(Read(1).Script, "short");
    EXPECT_EQ(oldSlot.Offset, oldOffset + table_->RecordSize());
}

TEST_F(TableIO, MemoValuesLoadLazilyAndEmptyOnesTakeOneArea) {
    Append("a", 1, "lazy value");
    table_->AppendRecord(Values(0, "no memo", 2, nullptr));
    EXPECT_EQ(Slot(1).Length, 0);
    EXPECT_EQ(Slot(1).AreaSize, 64);
    std::vector<uint8_t> rec(79);
    table_->ReadRecord(0, rec.data());
    auto blob = table_->BlobStream(rec.data(), 3);
    EXPECT_FALSE(blob->Loaded());
    EXPECT_EQ(blob->Size(), 10);
    EXPECT_TRUE(blob->Loaded());
    EXPECT_EQ(Read(1).Script, "");
}

TEST_F(TableIO, StaleCopyIsTakenAgainBeforeWriting) {
    Append("mine");
    TStoreFileIO other;
    other.Open(path_);
    ASSERT_TRUE(other.CheckPassword(test::kPassword));
    TStoreTableIO theirs(other, "P");
    theirs.Open();
    TFieldBuffers v(4);
    v.SetText(1, "theirs");
    theirs.AppendRecord(v);
    EXPECT_EQ(Append("again"), 2);  // not 1, which is theirs
    EXPECT_EQ(table_->PhysicalOrder().size(), 3u);
    EXPECT_EQ(Read(1).Name, "theirs");
    EXPECT_EQ(Read(2).Num, 3);
    // A delete names its record, not a position that moved under the reload.
    theirs.Reload();
    theirs.DeleteRecord(theirs.PositionOf(0));
    theirs.AppendRecord(v);
    table_->DeleteRecord(table_->PositionOf(2));
    theirs.Reload();
    EXPECT_EQ(theirs.PhysicalOrder().size(), 2u);
    EXPECT_FALSE(theirs.IsLive(2));
    EXPECT_TRUE(theirs.IsLive(3));
    // Writing to a record another program deleted is refused, not lost.
    ASSERT_TRUE(table_->IsLive(1));
    theirs.DeleteRecord(theirs.PositionOf(1));
    try {
        table_->ModifyRecord(table_->PositionOf(1), v);
        FAIL() << "edit of a deleted record accepted";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Record 1 of table 'P' does not exist");
    }
    EXPECT_FALSE(table_->IsLive(1));
    // An edit builds on another program's edit of the same record, which moved it.
    theirs.Reload();
    TFieldBuffers icon(4);
    icon.SetInt32(2, 42);
    theirs.ModifyRecord(theirs.PositionOf(3), icon);
    TFieldBuffers name(4);
    name.SetText(1, "both");
    table_->ModifyRecord(table_->PositionOf(3), name);
    EXPECT_EQ(Read(3).Name, "both");
    EXPECT_EQ(Read(3).Icon, 42);
}

// Records what the index layer would be told, and can refuse a write.
struct RecordingHooks : TStoreIndexHooks {
    std::vector<std::string> calls;
    bool refuse = false;
    TStoreFileIO* io = nullptr;
    int32_t countOnDiskWhenAdded = -1;

    void TableLoaded(TStoreTableIO&) override { calls.push_back("loaded"); }
    void TableReleased(TStoreTableIO&) override { calls.push_back("released"); }
    void CheckUnique(TStoreTableIO&, const TFieldBuffers&, int32_t recNo) override {
        calls.push_back("unique " + std::to_string(recNo));
        if (refuse) {
            throw EDatabaseError("Invalid unique field value 'x'");
        }
    }
    void RecordAdded(TStoreTableIO& t, int32_t recNo, int32_t dataOffset) override {
        calls.push_back("added " + std::to_string(recNo));
        EXPECT_EQ(t.RecordTab()[recNo].DataOffset, dataOffset);
        uint8_t b[4];
        io->ReadAt(t.HeaderOffset() + 37, b, 4);
        countOnDiskWhenAdded = DecodeFixed32(b);
    }
    void RecordModified(TStoreTableIO&, int32_t recNo) override {
        calls.push_back("modified " + std::to_string(recNo));
    }
    void RecordDeleted(TStoreTableIO&, int32_t recNo) override {
        calls.push_back("deleted " + std::to_string(recNo));
    }
};

TEST_F(TableIO, IndexLayerHooks) {
    RecordingHooks hooks;
    hooks.io = io_.get();
    table_->SetIndexHooks(&hooks);
    Append("a");
    EXPECT_EQ(hooks.countOnDiskWhenAdded, 0);  // told before the record is committed
    TFieldBuffers v(4);
    v.SetInt32(2, 5);
    table_->ModifyRecord(0, v);
    table_->DeleteRecord(0);
    hooks.refuse = true;
    const int64_t size = io_->ImageSize();
    EXPECT_THROW(Append("b"), EDatabaseError);
    EXPECT_EQ(io_->ImageSize(), size);  // refused before anything was written
    EXPECT_EQ(table_->Header().RecordTabCount, 1);
    table_->Close();
    EXPECT_EQ(hooks.calls,
              (std::vector<std::string>{"unique -1", "added 0", "unique 0", "modified 0",
                                        "deleted 0", "unique -1", "released"}));
}

}  // namespace
}  // namespace quorv::store

namespace quorv::store {
namespace {

// A medium that garbles the middle byte of its next large writes, as a failing disk would.
class GarblingStream : public TMemoryStream {
  public:
    int garbleWrites = 0;

    int64_t Write(const void* buffer, int64_t count) override {
        const int64_t start = Position();
        const int64_t n = TMemoryStream::Write(buffer, count);
        if (count >= 256 && garbleWrites > 0) {
            --garbleWrites;
            Memory()[start + count / 2] ^= 0x40;
        }
        return n;
    }
};

TEST(WriteVerify, RewritesUntilTheReadBackMatchesThenGivesUp) {
    GarblingStream disk;
    const std::string name = TMemoryMedium::Register(&disk);
    ASSERT_TRUE(TStoreFileIO::CreateDatabaseFile(name, mtMemory, true, 3, "ZLIB", true, "Gost",
                                                 "pw", true));
    TStoreFileIO io;
    io.Open(name, mtMemory);
    ASSERT_TRUE(io.CheckPassword("pw"));
    ASSERT_TRUE(io.CreateTable("P", test::ProfileFields()));
    TStoreTableIO table(io, "P");
    table.Open();

    std::mt19937 rng(5);
    std::string noise(3000, '\0');
    for (auto& c : noise) {
        c = static_cast<char>(rng());
    }
    TMemoryStream memo;
    memo.LoadFromBuffer(noise.data(), noise.size());
    TFieldBuffers v(4);
    v.SetText(1, "verified");
    v.SetBlob(3, &memo);

    disk.garbleWrites = 2;  // the new record-tab block and the record: one rewrite needed
    ASSERT_EQ(table.AppendRecord(v), 0);
    std::vector<uint8_t> rec(79);
    table.ReadRecord(0, rec.data());
    const auto blob = table.BlobStream(rec.data(), 3);
    EXPECT_EQ(std::string(blob->Value().begin(), blob->Value().end()), noise);

    disk.garbleWrites = 1000;
    try {
        table.AppendRecord(v);
        FAIL() << "a value that never reads back was accepted";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Write verification failed for field 'Script' of table 'P'");
    }
    // The record was never committed, in memory or in the file.
    EXPECT_EQ(table.PhysicalOrder().size(), 1u);
    EXPECT_EQ(table.Header().RecordTabCount, 1);
    disk.garbleWrites = 0;
    TStoreTableIO again(io, "P");
    again.Open();
    EXPECT_EQ(again.PhysicalOrder().size(), 1u);
    EXPECT_EQ(table.AppendRecord(v), 1);
    TMemoryMedium::Unregister(&disk);
}

}  // namespace
}  // namespace quorv::store
