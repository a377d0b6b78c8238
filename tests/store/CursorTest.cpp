#include <gtest/gtest.h>

#include "StoreTestUtil.h"
#include "store/StoreDatabase.h"
#include "store/StoreSession.h"
#include "store/StoreTable.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

using test::TempDir;

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

// The program's start-up: a fresh data file with its two tables and their name indexes.
class Cursor : public ::testing::Test {
  protected:
    void SetUp() override {
        TStoreDatabase db;
        ASSERT_TRUE(db.CreateDatabase(path_, true, 3, "ZLIB", true, "Gost", "8074", false));
        db.SetDatabaseName(path_);
        db.SetPassword("8074");
        ASSERT_TRUE(db.CreateTable(
            "tblIPList",
            {MakeFieldItem("Num", ftAutoInc, 0), MakeFieldItem("Name", ftString, 50),
             MakeFieldItem("Icon", ftInteger, 0), MakeFieldItem("Script", ftMemo, 0)}));
        ASSERT_TRUE(db.CreateIndex("tblIPList", "idxName", 0, {"Name"}));
        ASSERT_TRUE(db.CreateTable(
            "tblOption", {MakeFieldItem("Num", ftAutoInc, 0), MakeFieldItem("Name", ftString, 32),
                          MakeFieldItem("Value", ftString, 32)}));
        ASSERT_TRUE(db.CreateIndex("tblOption", "idxName", 0, {"Name"}));
    }

    void OpenTable(TStoreTable& t, const std::string& name, const std::string& password = "8074") {
        t.SetDatabaseName(path_);
        t.SetTableName(name);
        t.SetPassword(password);
        t.Open();
    }

    void Add(TStoreTable& t, const std::string& name, const std::string& script = "") {
        t.Insert();
        t.FieldByName("Name").SetAsString(name);
        t.FieldByName("Icon").SetAsInteger(11);
        t.FieldByName("Script").SetAsString(script);
        t.Post();
    }

    std::vector<std::string> Names(TStoreTable& t) {
        std::vector<std::string> names;
        for (t.First(); !t.Eof(); t.Next()) {
            names.push_back(t.FieldByName("Name").AsString());
        }
        return names;
    }

    TempDir dir_;
    std::string path_ = dir_.File("QuorvIPChanger.dat");
};

TEST_F(Cursor, TwoCursorsShareOneTemporaryDatabase) {
    TStoreSession& session = TStoreSession::Default();
    {
        TStoreTable list, options;
        OpenTable(list, "tblIPList");
        OpenTable(options, "tblOption");
        ASSERT_EQ(list.Database(), options.Database());
        EXPECT_TRUE(list.Database()->Temporary());
        EXPECT_EQ(list.Database()->OpenCursors(), 2);
        options.Close();
        ASSERT_NE(session.FindDatabase(path_), nullptr);
        EXPECT_TRUE(session.FindDatabase(path_)->Connected());
        list.Close();
        EXPECT_EQ(session.FindDatabase(path_), nullptr);  // freed with its last cursor
    }
    TStoreTable t;
    t.SetTableName("tblIPList");
    t.SetDatabaseName(path_);
    EXPECT_EQ(t.TableName(), "");
}

TEST_F(Cursor, PostAndDeletePositions) {
    TStoreTable t;
    OpenTable(t, "tblIPList");
    EXPECT_FALSE(t.FindKey("idxName", {"home"}));  // empty table: false, no move
    EXPECT_TRUE(t.Eof());
    Add(t, "office", "route print\r\nipconfig");
    Add(t, "home");
    Add(t, "cafe");
    // Ordered by the primary index: each posted record is current and last.
    EXPECT_EQ(t.FieldByName("Name").AsString(), "cafe");
    EXPECT_EQ(t.FieldByName("Num").AsInteger(), 3);
    t.Next();
    EXPECT_TRUE(t.Eof());

    // An edit that moves the record in the cursor's order keeps it current.
    t.SetIndexName("idxName");
    ASSERT_TRUE(t.FindKey("idxName", {"office"}));
    EXPECT_EQ(t.FieldByName("Script").AsString(), "route print\r\nipconfig");
    t.Edit();
    t.FieldByName("Name").SetAsString("aaa");
    t.Post();
    EXPECT_EQ(t.FieldByName("Name").AsString(), "aaa");
    EXPECT_EQ(t.Bookmark(), 0);
    EXPECT_EQ(Names(t), (std::vector<std::string>{"aaa", "cafe", "home"}));
    EXPECT_EQ(t.FieldByName("Script").AsString(), "");  // "home" has none

    // Delete in the middle: the follower; at the end: the new last; the only one: empty.
    ASSERT_TRUE(t.FindKey("idxName", {"cafe"}));
    t.Delete();
    EXPECT_EQ(t.FieldByName("Name").AsString(), "home");
    t.Delete();
    EXPECT_EQ(t.FieldByName("Name").AsString(), "aaa");
    t.Delete();
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(ErrorOf([&] { t.Delete(); }), "No records");

    // The counter never goes back: the next Num follows the highest ever issued.
    t.SetIndexName("");
    Add(t, "new");
    EXPECT_EQ(t.FieldByName("Num").AsInteger(), 4);
    t.Close();
    OpenTable(t, "tblIPList");
    EXPECT_EQ(Names(t), (std::vector<std::string>{"new"}));
}

TEST_F(Cursor, FindKeyIsExactCaseSensitiveAndFindsTheFirstDuplicate) {
    TStoreTable t;
    OpenTable(t, "tblIPList");
    Add(t, "Home", "first");
    Add(t, "Home", "second");
    Add(t, std::string(60, 'n'));  // stored as its first 50 characters
    EXPECT_FALSE(t.FindKey("idxName", {"home"}));
    EXPECT_EQ(t.FieldByName("Name").AsString(), std::string(50, 'n'));  // did not move
    ASSERT_TRUE(t.FindKey("IDXNAME", {"Home"}));
    EXPECT_EQ(t.FieldByName("Script").AsString(), "first");
    EXPECT_TRUE(t.FindKey("idxName", {std::string(60, 'n')}));
    EXPECT_EQ(ErrorOf([&] { t.FindKey("idxNope", {"x"}); }), "Invalid index name 'idxNope'");
    EXPECT_EQ(ErrorOf([&] { t.FieldByName("Nope"); }), "Field 'Nope' not found");
}

TEST_F(Cursor, AccessChecks) {
    TStoreTable t;
    t.SetDatabaseName(path_);
    t.SetTableName("tblIPList");
    t.SetPassword("wrong");
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Access denied");

    // The GUI's prompt: consulted only when no password was supplied.
    int asked = 0;
    TStoreSession::SetPasswordPrompt([&](const std::string&, std::string& password) {
        ++asked;
        password = "8074";
        return true;
    });
    t.Open();
    EXPECT_EQ(asked, 1);
    t.Close();
    TStoreSession::SetPasswordPrompt([](const std::string&, std::string&) { return false; });
    EXPECT_THROW(t.Open(), EAbort);
    TStoreSession::SetPasswordPrompt(nullptr);
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Access denied");

    TStoreTable missing;
    missing.SetDatabaseName(dir_.File("none.dat"));
    EXPECT_EQ(ErrorOf([&] { missing.SetPassword("8074"); }),
              "Cannot open file " + dir_.File("none.dat"));

    // Any password opens an unencrypted file.
    const std::string plain = dir_.File("plain.dat");
    TStoreDatabase db;
    ASSERT_TRUE(db.CreateDatabase(plain, false, 0, "", false, "", "", false));
    db.SetDatabaseName(plain);
    ASSERT_TRUE(db.CreateTable("t", {MakeFieldItem("A", ftInteger, 0)}));
    db.Close();
    db.SetReadOnly(true);
    EXPECT_EQ(ErrorOf([&] { db.CreateTable("u", {MakeFieldItem("A", ftInteger, 0)}); }),
              "Cannot modify a read-only database");
    EXPECT_EQ(ErrorOf([&] { db.SetDatabaseName("x"); }),
              "Cannot perform this operation on an open database");
    db.Close();
    TStoreTable p;
    p.SetDatabaseName(plain);
    p.SetTableName("t");
    p.SetPassword("anything");
    p.Open();
    EXPECT_EQ(p.RecordCount(), 0);
}

}  // namespace
}  // namespace quorv::store
