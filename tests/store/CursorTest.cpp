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
    // The GUI's prompt: consulted only when no password was supplied.
    int asked = 0;
    TStoreSession::SetPasswordPrompt([&](const std::string&, std::string& password) {
        ++asked;
        password = "8074";
        return true;
    });
    TStoreTable t;
    t.SetDatabaseName(path_);
    t.SetTableName("tblIPList");
    t.SetPassword("wrong");
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Access denied");
    EXPECT_EQ(asked, 0);
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

TEST_F(Cursor, CursorsOnOneTableStayInStep) {
    TStoreTable byName, physical;
    OpenTable(byName, "tblIPList");
    OpenTable(physical, "tblIPList");
    byName.SetIndexName("idxName");
    physical.SetNaturalOrder(true);
    for (const char* name : {"d", "b", "c", "a"}) {
        Add(physical, name);
    }
    ASSERT_TRUE(byName.FindKey("idxName", {"c"}));
    EXPECT_EQ(byName.RecordCount(), 4);
    // The other cursor removes the current record: this one moves to the follower.
    ASSERT_TRUE(physical.FindKey("idxName", {"c"}));
    physical.Delete();
    EXPECT_EQ(byName.RecordCount(), 3);
    EXPECT_EQ(byName.FieldByName("Name").AsString(), "d");
    // Switching the order keeps the record.
    byName.SetIndexName("");
    EXPECT_EQ(byName.FieldByName("Name").AsString(), "d");
    EXPECT_EQ(Names(byName), (std::vector<std::string>{"d", "b", "a"}));
    // Edit on an empty cursor inserts; Cancel drops it.
    TStoreTable options;
    OpenTable(options, "tblOption");
    options.Edit();
    EXPECT_EQ(options.State(), TDataSetState::dsInsert);
    options.Cancel();
    EXPECT_EQ(options.RecordCount(), 0);
    EXPECT_EQ(ErrorOf([&] { options.FieldByName("Name").SetAsString("x"); }),
              "Dataset not in edit or insert mode");
}

TEST_F(Cursor, FieldTypesThroughText) {
    TStoreDatabase db;
    const std::string path = dir_.File("types.dat");
    ASSERT_TRUE(db.CreateDatabase(path, false, 0, "", true, "Twofish", "pw", false));
    db.SetDatabaseName(path);
    db.SetPassword("pw");
    ASSERT_TRUE(
        db.CreateTable("t", {MakeFieldItem("D", ftDate, 0), MakeFieldItem("T", ftTime, 0),
                             MakeFieldItem("DT", ftDateTime, 0), MakeFieldItem("B", ftBoolean, 0),
                             MakeFieldItem("F", ftFloat, 0), MakeFieldItem("S", ftSmallint, 0),
                             MakeFieldItem("W", ftWord, 0), MakeFieldItem("L", ftLargeint, 0),
                             MakeFieldItem("G", ftGraphic, 0)}));
    db.Close();
    TStoreTable t;
    t.SetDatabaseName(path);
    t.SetTableName("t");
    t.SetPassword("pw");
    t.Open();
    t.Insert();
    EXPECT_EQ(t.FieldByName("DT").AsString(), "1899-12-30 00:00:00.000");  // the scale's zero
    t.FieldByName("D").SetAsString("2024-02-29");
    t.FieldByName("T").SetAsString("23:59:58.125");
    t.FieldByName("DT").SetAsString("0001-01-01T00:00:01");
    t.FieldByName("B").SetAsString("TRUE");
    t.FieldByName("F").SetAsString("-2.5e-3");
    t.FieldByName("S").SetAsInteger(-32768);
    t.FieldByName("W").SetAsString("65535");
    t.FieldByName("L").SetAsString("-9223372036854775808");
    t.FieldByName("G").SetAsString(std::string("\0\xff", 2));
    EXPECT_EQ(ErrorOf([&] { t.FieldByName("D").SetAsString("2023-02-29"); }),
              "'2023-02-29' is not a valid date");
    EXPECT_EQ(ErrorOf([&] { t.FieldByName("W").SetAsInteger(-1); }),
              "'-1' is not a valid integer value");
    EXPECT_EQ(ErrorOf([&] { t.FieldByName("T").SetAsString("24:00"); }),
              "'24:00' is not a valid time");
    t.Post();
    t.Close();  // the connection goes with its last cursor, and the password with it
    t.SetPassword("pw");
    t.Open();
    EXPECT_EQ(t.FieldByName("D").AsString(), "2024-02-29");
    EXPECT_EQ(t.FieldByName("T").AsString(), "23:59:58.125");
    EXPECT_EQ(t.FieldByName("DT").AsString(), "0001-01-01 00:00:01.000");
    EXPECT_TRUE(t.FieldByName("B").AsBoolean());
    EXPECT_EQ(t.FieldByName("B").AsString(), "True");
    EXPECT_DOUBLE_EQ(t.FieldByName("F").AsFloat(), -0.0025);
    EXPECT_EQ(t.FieldByName("S").AsInteger(), -32768);
    EXPECT_EQ(t.FieldByName("W").AsInteger(), 65535);
    EXPECT_EQ(t.FieldByName("L").AsLargeInt(), INT64_MIN);
    EXPECT_EQ(t.FieldByName("G").Native(), std::string("\0\xff", 2));
    EXPECT_EQ(DayNumberFromCivil(1899, 12, 30), 693594);
    EXPECT_EQ(DayNumberFromCivil(1, 1, 1), 1);
}

TEST_F(Cursor, SessionsAndDatabaseProperties) {
    TStoreSession& session = TStoreSession::Default();
    EXPECT_EQ(ErrorOf([] { TStoreSession s("default"); }), "Duplicate session name 'default'");
    EXPECT_EQ(ErrorOf([] { TStoreSessionList::FindSession("nope"); }), "Invalid session name nope");
    session.SetLockRetryCount(-3);
    EXPECT_EQ(session.LockRetryCount(), 0);
    session.SetLockRetryCount(20);

    std::vector<std::pair<bool, int32_t>> timer;  // outlives the database, which reports to it
    TStoreDatabase db;
    db.SetDatabaseName(path_);
    TStoreDatabase twin;
    EXPECT_EQ(ErrorOf([&] { twin.SetDatabaseName(path_); }),
              "Duplicate database name '" + path_ + "'");
    db.SetAutoFlushTimer([&](bool on, int32_t ms) { timer.emplace_back(on, ms); });
    db.SetAutoFlush(true);
    db.SetAutoFlushInterval(500);
    db.SetPassword("8074");
    db.Open();
    EXPECT_EQ(timer.back(), std::make_pair(true, 500));
    EXPECT_FALSE(db.AutoFlushTick());  // nothing written yet
    {
        TStoreTable t;  // finds the permanent database by name
        OpenTable(t, "tblOption");
        EXPECT_EQ(t.Database(), &db);
        t.Insert();
        t.FieldByName("Name").SetAsString("AfterIPInfo");
        t.Post();
        EXPECT_TRUE(db.AutoFlushTick());
        EXPECT_FALSE(db.AutoFlushTick());
    }
    EXPECT_FALSE(db.Connected());  // its last cursor closed
    EXPECT_EQ(timer.back(), std::make_pair(false, 500));

    db.SetKeepConnection(true);
    {
        TStoreTable t;
        OpenTable(t, "tblIPList");
    }
    EXPECT_TRUE(db.Connected());
}

}  // namespace
}  // namespace quorv::store
