#include <gtest/gtest.h>

#include "StoreTestUtil.h"
#include "store/Coding.h"
#include "store/StoreIndexes.h"
#include "store/StoreTable.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

using test::TempDir;

class Schema : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::CreateProgramDatabase(path_));
        io_.Open(path_);
    }

    // The error text of creating a table, or "" when it was created.
    std::string CreateError(const std::string& name, const std::vector<TFieldDesc>& fields) {
        try {
            EXPECT_TRUE(io_.CreateTable(name, fields));
        } catch (const EDatabaseError& e) {
            return e.what();
        }
        return "";
    }

    TempDir dir_;
    std::string path_ = dir_.File("db.dat");
    TStoreFileIO io_;
};

TEST_F(Schema, FieldValidationMessagesInOrder) {
    std::vector<TFieldDesc> many;
    for (int i = 0; i < 96; ++i) {
        many.push_back(MakeFieldItem("F" + std::to_string(i), ftInteger, 0));
    }
    EXPECT_EQ(CreateError("t", many), "Too many fields");
    EXPECT_EQ(CreateError("t", {}), "Field name expected");
    EXPECT_EQ(CreateError("t", {MakeFieldItem("B", ftBCD, 0)}),
              "Field 'B' is of an unsupported type");
    EXPECT_EQ(CreateError("t", {MakeFieldItem("W", ftWideString, 10)}),
              "Field 'W' is of an unsupported type");
    // The type is checked before the name.
    EXPECT_EQ(CreateError("t", {MakeFieldItem("", ftGuid, 10)}),
              "Field '' is of an unsupported type");
    EXPECT_EQ(CreateError("t", {MakeFieldItem("", ftInteger, 0)}), "Invalid field name ''");
    EXPECT_EQ(CreateError("t", {MakeFieldItem("a\tb", ftInteger, 0)}), "Invalid field name 'a\tb'");
    EXPECT_EQ(CreateError("t", {MakeFieldItem("M", ftMemo, 1)}), "Invalid field size");
    EXPECT_EQ(CreateError("t", {MakeFieldItem("S", ftString, 0)}), "Invalid field size");
    EXPECT_EQ(CreateError("t", {MakeFieldItem("S", ftFixedChar, 8193)}), "Invalid field size");
    EXPECT_EQ(
        CreateError("t", {MakeFieldItem("Name", ftString, 5), MakeFieldItem("x", ftInteger, 0),
                          MakeFieldItem("NAME", ftInteger, 0)}),
        "Duplicate field name 'Name'");
    EXPECT_EQ(
        CreateError("t", {MakeFieldItem("A", ftAutoInc, 0), MakeFieldItem("B", ftAutoInc, 0)}),
        "Duplicate AutoInc field");
    // Names equal within their stored 32 characters would be equal in the file.
    EXPECT_EQ(CreateError("t", {MakeFieldItem(std::string(32, 'a') + "1", ftInteger, 0),
                                MakeFieldItem(std::string(32, 'a') + "2", ftInteger, 0)}),
              "Duplicate field name '" + std::string(32, 'a') + "1'");
    EXPECT_EQ(io_.Directory().Count, 0);
    EXPECT_EQ(io_.ImageSize(), 3821);  // nothing was written

    many.pop_back();
    EXPECT_EQ(CreateError("wide", many), "");
    EXPECT_EQ(io_.ReadTableHeader(0).Fields.size(), 95u);
}

// Names that differ only by an expansion such as "ß"/"SS" are two fields, as another
// writer may have made them; a lookup takes the exact name before one ignoring case.
TEST_F(Schema, FieldNamesMatchExactlyFirstThenBySimpleCase) {
    EXPECT_EQ(CreateError("t", {MakeFieldItem("Straße", ftInteger, 0),
                                MakeFieldItem("STRASSE", ftInteger, 0)}),
              "");
    EXPECT_EQ(CreateError(
                  "u", {MakeFieldItem("Größe", ftInteger, 0), MakeFieldItem("GRÖSSE", ftInteger, 0),
                        MakeFieldItem("GRÖßE", ftInteger, 0)}),
              "Duplicate field name 'Größe'");
    ASSERT_TRUE(CreateIndex(io_, "t", "i", 0, {"STRASSE", "straße"}));
    EXPECT_EQ(io_.ReadTableHeader(0).Indexes[0].FieldNumbers[0], 1);
    EXPECT_EQ(io_.ReadTableHeader(0).Indexes[0].FieldNumbers[1], 0);
    io_.Close();

    TStoreTable table;
    table.SetDatabaseName(path_);
    table.SetTableName("t");
    table.SetPassword(test::kPassword);
    table.Open();
    table.Insert();
    table.FieldByName("STRASSE").SetAsInteger(7);
    table.FieldByName("straße").SetAsInteger(3);
    table.Post();
    EXPECT_EQ(table.Fields(0).AsInteger(), 3);
    EXPECT_EQ(table.Fields(1).AsInteger(), 7);
    EXPECT_EQ(table.FieldByName("strasse").FieldNo(), 1);
    EXPECT_EQ(table.FieldByName("STRAẞE").FieldNo(), 0);  // capital sharp s maps one-to-one
    EXPECT_EQ(table.FindField("Strasse_"), nullptr);
}

TEST_F(Schema, TableNamesAndLimits) {
    EXPECT_EQ(CreateError("", test::ProfileFields()), "Invalid table name ''");
    EXPECT_EQ(CreateError("a\x1f", test::ProfileFields()), "Invalid table name 'a\x1f'");
    EXPECT_EQ(CreateError("tblIPList", test::ProfileFields()), "");
    EXPECT_EQ(CreateError("TBLIPLIST", test::ProfileFields()), "Duplicate table name 'TBLIPLIST'");
    EXPECT_EQ(io_.FindTable("tbliplist"), 0);
    EXPECT_EQ(io_.FindTable("other"), -1);
    const std::string longName(40, 'L');
    EXPECT_EQ(CreateError(longName, {MakeFieldItem("A", ftInteger, 0)}), "");
    EXPECT_EQ(io_.TableNames()[1], std::string(32, 'L'));
    EXPECT_EQ(io_.FindTable(longName), 1);

    // Non-ASCII names match ignoring case too.
    EXPECT_EQ(CreateError("\xC3\x84rger", {MakeFieldItem("A", ftInteger, 0)}), "");
    EXPECT_EQ(io_.FindTable("\xC3\xA4RGER"), 2);
}

TEST_F(Schema, NoMoreThan256Tables) {
    io_.SetSyncedAppends(false);
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(io_.CreateTable("t" + std::to_string(i), {MakeFieldItem("A", ftInteger, 0)}));
    }
    EXPECT_EQ(CreateError("one more", {MakeFieldItem("A", ftInteger, 0)}), "Too many tables");
    ASSERT_TRUE(io_.DropTable("T7"));
    EXPECT_EQ(io_.Directory().Count, 255);
    EXPECT_EQ(io_.TableNames()[7], "t8");
    EXPECT_EQ(CreateError("one more", {MakeFieldItem("A", ftInteger, 0)}), "");
}

TEST_F(Schema, DropLeavesDeadSpace) {
    ASSERT_TRUE(io_.CreateTable("a", {MakeFieldItem("A", ftInteger, 0)}));
    ASSERT_TRUE(io_.CreateTable("b", {MakeFieldItem("A", ftInteger, 0)}));
    ASSERT_TRUE(io_.CreateTable("c", {MakeFieldItem("A", ftInteger, 0)}));
    const int64_t size = io_.ImageSize();
    ASSERT_TRUE(io_.DropTable("A"));
    EXPECT_EQ(io_.ImageSize(), size);
    EXPECT_EQ(io_.TableNames(), (std::vector<std::string>{"b", "c"}));
    const auto b = test::ReadFileBytes(path_);
    EXPECT_EQ(DecodeFixed32(b.data() + 2789), 2);
    EXPECT_EQ(DecodeFixed32(b.data() + 2789 + 8), 3821 + 4821);
    EXPECT_EQ(DecodeFixed32(b.data() + 2789 + 12), 3821 + 2 * 4821);
    EXPECT_EQ(DecodeFixed32(b.data() + 2789 + 16), 0);
    try {
        io_.DropTable("a");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Table 'a' not found");
    }
    EXPECT_THROW(io_.DropTable(""), EDatabaseError);
}

TEST_F(Schema, DirectoryIsReReadBeforeChanges) {
    TStoreFileIO other;
    other.Open(path_);
    ASSERT_TRUE(other.CreateTable("mine", {MakeFieldItem("A", ftInteger, 0)}));
    EXPECT_EQ(io_.Directory().Count, 0);  // not seen yet
    EXPECT_EQ(CreateError("MINE", {MakeFieldItem("A", ftInteger, 0)}),
              "Duplicate table name 'MINE'");
    EXPECT_EQ(io_.Directory().Count, 1);
    ASSERT_TRUE(io_.CreateTable("yours", {MakeFieldItem("A", ftInteger, 0)}));
    ASSERT_TRUE(other.DropTable("yours"));
    EXPECT_EQ(other.TableNames(), std::vector<std::string>{"mine"});
}

}  // namespace
}  // namespace quorv::store
