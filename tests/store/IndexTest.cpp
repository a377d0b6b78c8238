#include <gtest/gtest.h>

#include <map>
#include <random>

#include "IndexedTable.h"
#include "StoreTestUtil.h"
#include "store/Coding.h"
#include "store/KeyCompare.h"
#include "store/StoreIndexes.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

using test::TempDir;

struct Row {
    std::string Name;
    int32_t Grp = 0;
};

std::string Int32Bytes(int32_t v) {
    std::string s(4, '\0');
    EncodeFixed32(reinterpret_cast<uint8_t*>(s.data()), v);
    return s;
}

// Table "T": Num (autoinc, primary "Num"), Name (string 20), Grp (integer), with the
// indexes idxName (Name), idxCi (Name, case-insensitive) and idxGrp (Grp, Name,
// descending).
class Indexes : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::CreateProgramDatabase(path_));
        TStoreFileIO io;
        io.Open(path_);
        ASSERT_TRUE(io.CheckPassword(test::kPassword));
        ASSERT_TRUE(io.CreateTable(
            "T", {MakeFieldItem("Num", ftAutoInc, 0), MakeFieldItem("Name", ftString, 20),
                  MakeFieldItem("Grp", ftInteger, 0)}));
        ASSERT_TRUE(CreateIndex(io, "T", "idxName", 0, {"Name"}));
        ASSERT_TRUE(CreateIndex(io, "T", "idxCi", tiCaseInsensitive, {"name"}));
        ASSERT_TRUE(CreateIndex(io, "T", "idxGrp", tiDescending, {"Grp", "Name"}));
        Open();
    }

    void Open() {
        indexes_.reset();
        table_.reset();
        io_ = std::make_unique<TStoreFileIO>();
        io_->Open(path_);
        io_->SetSyncedAppends(false);
        ASSERT_TRUE(io_->CheckPassword(test::kPassword));
        table_ = std::make_unique<TStoreTableIO>(*io_, "T");
        indexes_ = std::make_unique<TStoreIndexes>(*table_);
        table_->Open();
    }

    int32_t Append(const std::string& name, int32_t grp) {
        TFieldBuffers v(3);
        v.SetText(1, name);
        v.SetInt32(2, grp);
        const int32_t recNo = table_->AppendRecord(v);
        model_[recNo] = Row{name, grp};
        return recNo;
    }

    void Modify(int32_t recNo, const std::string& name, int32_t grp) {
        TFieldBuffers v(3);
        v.SetText(1, name);
        v.SetInt32(2, grp);
        table_->ModifyRecord(table_->PositionOf(recNo), v);
        model_[recNo] = Row{name, grp};
    }

    void Delete(int32_t recNo) {
        table_->DeleteRecord(table_->PositionOf(recNo));
        model_.erase(recNo);
    }

    // Orders two model rows as index i does.
    int Compare(int32_t index, const Row& a, const Row& b) {
        const TStoreIndexDef& def = indexes_->Def(index);
        int c = 0;
        for (int32_t f : def.FieldNumbers) {
            if (f == 1) {
                c = CompareFieldValues(ftString, a.Name, b.Name, def.Options & tiCaseInsensitive);
            } else if (f == 2) {
                c = CompareFieldValues(ftInteger, Int32Bytes(a.Grp), Int32Bytes(b.Grp), false);
            }
            if (c != 0) {
                break;
            }
        }
        return (def.Options & tiDescending) ? -c : c;
    }

    // Every index holds exactly the model's records, in key order, and the file agrees.
    void CheckAgainstModel() {
        for (int32_t i = 1; i < indexes_->Count(); ++i) {
            const TRecordList& list = indexes_->Order(i);
            ASSERT_EQ(list.size(), model_.size()) << indexes_->Def(i).Name;
            for (size_t k = 0; k < list.size(); ++k) {
                ASSERT_TRUE(model_.count(list[k].RecNo));
                if (k > 0) {
                    ASSERT_LE(Compare(i, model_[list[k - 1].RecNo], model_[list[k].RecNo]), 0)
                        << indexes_->Def(i).Name << " at " << k;
                }
            }
        }
        EXPECT_EQ(indexes_->Verify(), std::vector<std::string>{});
    }

    std::vector<std::vector<int32_t>> Orders() {
        std::vector<std::vector<int32_t>> orders;
        for (int32_t i = 0; i < indexes_->Count(); ++i) {
            orders.emplace_back();
            for (const TRecordItem& item : indexes_->Order(i)) {
                orders.back().push_back(item.RecNo);
            }
        }
        return orders;
    }

    TIndexItem DiskIndexItem(int32_t index) {
        TStoreFileIO io;
        io.Open(path_, mtDisk, 0, true);
        return io.ReadTableHeader(0).Indexes.at(static_cast<size_t>(index));
    }

    TempDir dir_;
    std::string path_ = dir_.File("db.dat");
    std::unique_ptr<TStoreFileIO> io_;
    std::unique_ptr<TStoreTableIO> table_;
    std::unique_ptr<TStoreIndexes> indexes_;
    std::map<int32_t, Row> model_;
};

TEST_F(Indexes, RandomChangesFollowTheModelAndSurviveReopening) {
    // Few distinct names, letter-case twins and accents: many duplicate and near keys.
    const std::vector<std::string> names = {"a", "A", "b", "B", "ab", "Ab", "é", "e", "z", "Z"};
    std::mt19937 rng(20261207);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    // Enough appends to need a second index-tab block.
    for (int step = 0; step < 2000; ++step) {
        const size_t op = pick(10);
        if (model_.empty() || op < 6) {
            Append(names[pick(names.size())], static_cast<int32_t>(pick(4)) - 1);
        } else {
            auto it = model_.begin();
            std::advance(it, static_cast<long>(pick(model_.size())));
            if (op < 8) {
                Modify(it->first, names[pick(names.size())], static_cast<int32_t>(pick(4)) - 1);
            } else {
                Delete(it->first);
            }
        }
        if (step % 500 == 499) {
            ASSERT_NO_FATAL_FAILURE(CheckAgainstModel());
        }
    }
    const auto before = Orders();
    Open();
    EXPECT_EQ(Orders(), before);
    ASSERT_NO_FATAL_FAILURE(CheckAgainstModel());
}

TEST_F(Indexes, FirstAndLastEqualKeyAmongDuplicates) {
    for (int i = 0; i < 9; ++i) {
        Append(i % 3 == 0 ? "dup" : (i % 3 == 1 ? "c" : "e"), i / 3);
    }
    const TRecordList& list = indexes_->Order(1);
    const TKeyValues key{"dup"};
    const TSearchResult first = indexes_->FindKey(1, key, 1, false);
    const TSearchResult last = indexes_->FindKey(1, key, 1, true);
    ASSERT_EQ(first.Outcome, TSearchOutcome::Equal);
    ASSERT_EQ(last.Outcome, TSearchOutcome::Equal);
    EXPECT_EQ(last.Position - first.Position, 2);
    EXPECT_EQ(model_[list[first.Position - 1].RecNo].Name, "c");
    EXPECT_EQ(model_[list[last.Position + 1].RecNo].Name, "e");
    EXPECT_NE(indexes_->FindKey(1, {"d"}, 1, false).Outcome, TSearchOutcome::Equal);
    // A key over the leading field of a two-field descending index (Grp, Name).
    const TRecordList& byGrp = indexes_->Order(3);
    const TSearchResult grp = indexes_->FindKey(3, {Int32Bytes(1)}, 1, false);
    ASSERT_EQ(grp.Outcome, TSearchOutcome::Equal);
    EXPECT_EQ(grp.Position, 3);  // after the three of group 2
    EXPECT_EQ(model_[byGrp[grp.Position].RecNo].Grp, 1);
    EXPECT_EQ(model_[byGrp[grp.Position].RecNo].Name, "e");  // the highest name first
    EXPECT_EQ(indexes_->FindKey(1, {"du"}, 1, false, true).Position, first.Position);
}

TEST_F(Indexes, CollationAndCaseRules) {
    EXPECT_LT(CompareFieldValues(ftString, "a", "B", false), 0);  // not byte order
    EXPECT_NE(CompareFieldValues(ftString, "a", "A", false), 0);
    EXPECT_EQ(CompareFieldValues(ftString, "a", "A", true), 0);
    EXPECT_NE(CompareFieldValues(ftString, "e", "é", true), 0);           // accents still count
    EXPECT_NE(CompareFieldValues(ftString, "ab", "a\u200Bb", false), 0);  // exact is exact
    EXPECT_LT(CompareFieldValues(ftInteger, Int32Bytes(-5), Int32Bytes(3), false), 0);
    Append("Alpha", 0);
    EXPECT_NE(indexes_->FindKey(1, {"alpha"}, 1, false).Outcome, TSearchOutcome::Equal);
    EXPECT_EQ(indexes_->FindKey(2, {"alpha"}, 1, false).Outcome, TSearchOutcome::Equal);
}

TEST_F(Indexes, WordKeysAreUnsigned) {
    const auto word = [](uint16_t value) { return NativeInt16(static_cast<int16_t>(value)); };
    EXPECT_LT(CompareFieldValues(ftWord, word(32767), word(32768), false), 0);
    EXPECT_LT(CompareFieldValues(ftWord, word(1), word(65535), false), 0);
    EXPECT_GT(CompareFieldValues(ftSmallint, word(32767), word(32768), false), 0);

    TStoreFileIO& io = *io_;
    ASSERT_TRUE(io.CreateTable("W", {MakeFieldItem("Port", ftWord, 0)}));
    ASSERT_TRUE(CreateIndex(io, "W", "idxPort", 0, {"Port"}));
    TStoreTableIO table(io, "W");
    TStoreIndexes indexes(table);
    table.Open();
    std::map<int32_t, uint16_t> ports;
    for (uint16_t port : {65535, 32768, 0, 32767, 40000, 1}) {
        TFieldBuffers v(1);
        v.SetText(0, word(port));
        ports[table.AppendRecord(v)] = port;
    }
    const int32_t index = indexes.Count() - 1;
    ASSERT_EQ(indexes.Def(index).Name, "idxPort");
    std::vector<uint16_t> order;
    for (const TRecordItem& item : indexes.Order(index)) {
        order.push_back(ports.at(item.RecNo));
    }
    EXPECT_EQ(order, (std::vector<uint16_t>{0, 1, 32767, 32768, 40000, 65535}));
    for (uint16_t port : {32767, 32768, 40000, 65535}) {
        const TSearchResult found = indexes.FindKey(index, {word(port)}, 1, false);
        ASSERT_EQ(found.Outcome, TSearchOutcome::Equal) << port;
        EXPECT_EQ(ports.at(indexes.Order(index)[found.Position].RecNo), port);
    }
    EXPECT_NE(indexes.FindKey(index, {word(50000)}, 1, false).Outcome, TSearchOutcome::Equal);
    EXPECT_EQ(indexes.Verify(), std::vector<std::string>{});
}

TEST_F(Indexes, HeadFollowsTheFirstKeyAndADeletedHeadIsSkipped) {
    const int32_t m = Append("m", 0);
    Append("q", 0);
    const int32_t z = Append("z", 0);
    EXPECT_EQ(DiskIndexItem(1).Head, m);
    Modify(z, "a", 0);  // sorts first now
    EXPECT_EQ(DiskIndexItem(1).Head, z);
    Delete(z);
    EXPECT_EQ(DiskIndexItem(1).Head, z);  // deleting does not unlink
    Open();
    ASSERT_EQ(indexes_->Order(1).size(), 2u);
    EXPECT_EQ(indexes_->Order(1)[0].RecNo, m);
    EXPECT_EQ(indexes_->Verify(), std::vector<std::string>{});
}

TEST_F(Indexes, DamagedListIsRebuiltAndRewrittenAtTheNextWrite) {
    for (int i = 0; i < 5; ++i) {
        Append(std::string(1, static_cast<char>('a' + i)), 0);
    }
    // Link "e" back to "b": a circle.
    const int32_t block = DiskIndexItem(1).FirstBlock;
    indexes_.reset();
    table_.reset();
    io_.reset();
    auto bytes = test::ReadFileBytes(path_);
    EncodeFixed32(bytes.data() + block + 4 + 4 * 8 + 4, 1);
    test::WriteFileBytes(path_, bytes);
    Open();
    EXPECT_EQ(indexes_->Order(1).size(), 5u);  // rebuilt by sorting
    EXPECT_FALSE(indexes_->Verify().empty());
    Append("c2", 0);
    EXPECT_NE(DiskIndexItem(1).FirstBlock, block);  // a fresh tab, the old one untouched
    ASSERT_NO_FATAL_FAILURE(CheckAgainstModel());
    Open();
    ASSERT_NO_FATAL_FAILURE(CheckAgainstModel());
}

TEST_F(Indexes, AnAppendCutShortAfterLinkingLosesNothing) {
    Append("a", 0);
    Append("c", 0);
    // As if an append of record 2 had linked it after "a" and stopped before its count.
    const int32_t block = DiskIndexItem(1).FirstBlock;
    indexes_.reset();
    table_.reset();
    io_.reset();
    auto bytes = test::ReadFileBytes(path_);
    EncodeFixed32(bytes.data() + block + 4 + 2 * 8, 2);
    EncodeFixed32(bytes.data() + block + 4 + 2 * 8 + 4, 1);
    EncodeFixed32(bytes.data() + block + 4 + 0 * 8 + 4, 2);
    test::WriteFileBytes(path_, bytes);
    Open();
    EXPECT_EQ(indexes_->Order(1).size(), 2u);
    EXPECT_EQ(indexes_->Verify().size(), 1u);
    // The next append gets the same number; the list must not link it twice.
    EXPECT_EQ(Append("b", 0), 2);
    ASSERT_NO_FATAL_FAILURE(CheckAgainstModel());
    Open();
    ASSERT_NO_FATAL_FAILURE(CheckAgainstModel());
    EXPECT_EQ(Orders()[1], (std::vector<int32_t>{0, 2, 1}));
}

TEST_F(Indexes, KeysMovedByAnotherWriterAreTakenBeforeLinking) {
    for (const char* name : {"a", "c", "e", "g"}) {
        Append(name, 0);
    }
    {
        // Another writer moves "e" between "a" and "c": no count or head changes.
        test::IndexedTable opened(path_, "T");
        auto& [other, table, indexes] = opened;
        TFieldBuffers v(3);
        v.SetText(1, "b");
        table.ModifyRecord(table.PositionOf(2), v);
    }
    model_[2].Name = "b";
    Modify(1, "f", 0);  // this copy still has the old order and keys
    ASSERT_NO_FATAL_FAILURE(CheckAgainstModel());
    Open();
    ASSERT_NO_FATAL_FAILURE(CheckAgainstModel());
    EXPECT_EQ(Orders()[1], (std::vector<int32_t>{0, 2, 1, 3}));
}

TEST_F(Indexes, UniqueKeys) {
    TStoreFileIO& io = *io_;
    ASSERT_TRUE(io.CreateTable(
        "U", {MakeFieldItem("Code", ftString, 8), MakeFieldItem("Qty", ftInteger, 0)}));
    ASSERT_TRUE(CreateIndex(io, "U", "idxCode", tiUnique, {"Code"}));
    TStoreTableIO table(io, "U");
    TStoreIndexes indexes(table);
    table.Open();
    TFieldBuffers v(2);
    v.SetText(0, "x");
    table.AppendRecord(v);
    v.SetText(0, "y");
    table.AppendRecord(v);
    v.SetText(0, "x");
    try {
        table.AppendRecord(v);
        FAIL() << "duplicate accepted";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Invalid unique field value 'x'");
    }
    table.ModifyRecord(0, v);  // its own value
    EXPECT_THROW(table.ModifyRecord(1, v), EDatabaseError);
    EXPECT_EQ(table.PhysicalOrder().size(), 2u);
}

TEST_F(Indexes, CreateIndexRefusals) {
    TStoreFileIO& io = *io_;
    auto message = [&](const std::string& table, const std::string& name, uint8_t options,
                       const std::vector<std::string>& fields) {
        try {
            CreateIndex(io, table, name, options, fields);
        } catch (const EDatabaseError& e) {
            return std::string(e.what());
        }
        return std::string("created");
    };
    ASSERT_TRUE(
        io.CreateTable("E", {MakeFieldItem("A", ftInteger, 0), MakeFieldItem("B", ftString, 4)}));
    EXPECT_EQ(message("", "i", 0, {"A"}), "Invalid table name ''");
    EXPECT_EQ(message("E", "i\x01", 0, {"A"}), "Invalid index name 'i\x01'");
    EXPECT_EQ(message("Nope", "i", 0, {"A"}), "Table 'Nope' not found");
    EXPECT_EQ(message("E", "i", 0, {}), "Field name expected");
    EXPECT_EQ(message("E", "i", 0, {"A", "a"}), "Duplicate field name 'A'");
    EXPECT_EQ(message("E", "i", 0, {"C"}), "Field 'C' not found");
    EXPECT_EQ(message("E", "p", tiPrimary, {"A"}), "created");
    EXPECT_EQ(message("E", "P", 0, {"B"}), "Duplicate index name 'P'");
    EXPECT_EQ(message("E", "p2", tiPrimary, {"B"}), "Duplicate primary index");
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(message("E", "x" + std::to_string(i), 0, {"B"}), "created");
    }
    EXPECT_EQ(message("E", "ninth", 0, {"B"}), "Too many indexes");
    // A table that ever held a record takes no new index, even once it is empty again.
    const int32_t r = Append("gone", 0);
    Delete(r);
    EXPECT_EQ(message("T", "late", 0, {"Grp"}), "Fail to create index");
}

}  // namespace
}  // namespace quorv::store
