// A cursor deciphers a text column only as far as its text goes; every length around the
// part it takes first must still come back whole, with every cipher's block size.
#include <gtest/gtest.h>

#include "StoreTestUtil.h"
#include "store/StoreDatabase.h"
#include "store/StoreTable.h"

namespace quorv::store {
namespace {

using test::TempDir;

class CursorText : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        TStoreDatabase db;
        ASSERT_TRUE(db.CreateDatabase(path_, true, 3, "ZLIB", true, GetParam(), "8074", false));
        db.SetDatabaseName(path_);
        db.SetPassword("8074");
        ASSERT_TRUE(db.CreateTable(
            "T", {MakeFieldItem("Num", ftAutoInc, 0), MakeFieldItem("Wide", ftString, 256),
                  MakeFieldItem("Short", ftString, 15), MakeFieldItem("Icon", ftInteger, 0)}));
    }

    void Open(TStoreTable& t) {
        t.SetDatabaseName(path_);
        t.SetTableName("T");
        t.SetPassword("8074");
        t.Open();
    }

    TempDir dir_;
    std::string path_ = dir_.File("db.dat");
};

TEST_P(CursorText, EveryLengthReadsBackWhole) {
    std::vector<std::string> texts;
    for (size_t n : {0, 1, 7, 8, 15, 16, 17, 31, 32, 33, 40, 63, 64, 65, 200, 255, 256}) {
        std::string s;
        for (size_t i = 0; i < n; ++i) {
            s += static_cast<char>('a' + (i * 7 + n) % 26);
        }
        texts.push_back(s);
    }
    {
        TStoreTable t;
        Open(t);
        for (size_t i = 0; i < texts.size(); ++i) {
            t.Insert();
            t.FieldByName("Wide").SetAsString(texts[i]);
            t.FieldByName("Short").SetAsString(texts[i]);
            t.FieldByName("Icon").SetAsInteger(static_cast<int32_t>(i));
            t.Post();
        }
    }
    // A fresh cursor, and one that also edits: the edit rewrites the record from what the
    // cursor read.
    TStoreTable t;
    Open(t);
    size_t i = 0;
    for (t.First(); !t.Eof(); t.Next(), ++i) {
        ASSERT_LT(i, texts.size());
        EXPECT_EQ(t.FieldByName("Wide").AsString(), texts[i]) << i;
        EXPECT_EQ(t.FieldByName("Short").AsString(), texts[i].substr(0, 15)) << i;
        EXPECT_EQ(t.FieldByName("Icon").AsInteger(), static_cast<int32_t>(i));
    }
    EXPECT_EQ(i, texts.size());
    t.First();
    t.Next();
    t.Edit();
    t.FieldByName("Icon").SetAsInteger(99);
    t.Post();
    TStoreTable again;
    Open(again);
    again.First();
    again.Next();
    EXPECT_EQ(again.FieldByName("Wide").AsString(), texts[1]);
    EXPECT_EQ(again.FieldByName("Icon").AsInteger(), 99);
}

INSTANTIATE_TEST_SUITE_P(Ciphers, CursorText, ::testing::Values("Gost", "Blowfish", "Twofish"));

}  // namespace
}  // namespace quorv::store
