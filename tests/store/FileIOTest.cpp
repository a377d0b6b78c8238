#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "StoreTestUtil.h"
#include "store/Coding.h"
#include "store/MemoryMedium.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

using test::TempDir;

// Runs the open and answers its error text, or "" when it succeeds.
std::string OpenError(const std::string& path, TStoreMediumType medium = mtDisk) {
    TStoreFileIO io;
    try {
        io.Open(path, medium);
    } catch (const EDatabaseError& e) {
        EXPECT_FALSE(io.IsOpen());
        return e.what();
    }
    return "";
}

class FileIO : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(test::CreateProgramDatabase(path_)); }

    void Patch(size_t at, const std::string& bytes) {
        auto b = test::ReadFileBytes(path_);
        std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<long>(at));
        test::WriteFileBytes(path_, b);
    }

    TempDir dir_;
    std::string path_ = dir_.File("db.dat");
};

TEST_F(FileIO, OpenFailures) {
    EXPECT_EQ(OpenError(dir_.File("missing.dat")), "Cannot open file " + dir_.File("missing.dat"));

    Patch(0, "TinyDC");
    EXPECT_EQ(OpenError(path_), "Database file '" + path_ + "' is an invalid database");
    Patch(0, std::string("TinyDBX", 7));  // the magic is NUL-terminated text
    EXPECT_EQ(OpenError(path_), "Database file '" + path_ + "' is an invalid database");
    Patch(0, std::string("TinyDB\0", 7));

    Patch(7, std::string("1.00\0", 5));
    EXPECT_EQ(OpenError(path_), "Version 1.00 is not compatible");
    Patch(7, std::string("2.1\0\0", 5));
    EXPECT_EQ(OpenError(path_), "Version of database file is too High");
    Patch(7, std::string("3\0\0\0\0", 5));
    EXPECT_EQ(OpenError(path_), "Version of database file is too High");
    Patch(7, std::string("1.5\0\0", 5));
    EXPECT_EQ(OpenError(path_), "");
    Patch(7, std::string("\0\0\0\0\0", 5));
    EXPECT_EQ(OpenError(path_), "");
    Patch(7, std::string("2.0\0\0", 5));

    Patch(2317 + 2, std::string("LZMA\0", 5));
    EXPECT_EQ(OpenError(path_), "Compression algorithm module 'LZMA' not found");
    Patch(2317 + 2, std::string("zlib\0", 5));  // names match ignoring case
    EXPECT_EQ(OpenError(path_), "");
    Patch(2317 + 37, std::string("DES\0", 4));
    EXPECT_EQ(OpenError(path_), "Encryption algorithm module 'DES' not found");
}

TEST_F(FileIO, ShortFilesAreInvalidOrDamaged) {
    auto b = test::ReadFileBytes(path_);
    b.resize(11);
    test::WriteFileBytes(path_, b);
    EXPECT_EQ(OpenError(path_), "Database file '" + path_ + "' is an invalid database");
    ASSERT_TRUE(test::CreateProgramDatabase(path_));
    b = test::ReadFileBytes(path_);
    b.resize(3000);
    test::WriteFileBytes(path_, b);
    EXPECT_EQ(OpenError(path_),
              "Database file '" + path_ + "' is damaged: it is shorter than its fixed part");
}

TEST_F(FileIO, PasswordCheck) {
    TStoreFileIO io;
    EXPECT_FALSE(io.CheckPassword("8074"));  // nothing open
    io.Open(path_);
    EXPECT_FALSE(io.CheckPassword("8075"));
    EXPECT_FALSE(io.CheckPassword(""));
    EXPECT_TRUE(io.CheckPassword("8074"));

    const std::string plain = dir_.File("plain.dat");
    ASSERT_TRUE(
        TStoreFileIO::CreateDatabaseFile(plain, mtDisk, true, 3, "ZLIB", false, "", "x", false));
    TStoreFileIO open;
    open.Open(plain);
    EXPECT_TRUE(open.CheckPassword("anything"));
    EXPECT_TRUE(open.CheckPassword(""));
}

TEST_F(FileIO, DefaultLockWaitIsAboutTwoSeconds) {
    TStoreFileIO holder, waiter;
    holder.Open(path_);
    waiter.Open(path_);
    holder.Lock();
    holder.Lock();  // nested: one unlock later still holds it
    holder.Unlock();
    EXPECT_EQ(waiter.LockRetryCount(), 20);
    EXPECT_EQ(waiter.LockWaitTime(), 100);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(waiter.Lock(), EDatabaseError);
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(s, 1.9);  // 21 attempts, 20 waits of 100 ms
    EXPECT_LT(s, 4.0);
    holder.Unlock();
    waiter.Lock();
    waiter.Unlock();
}

TEST_F(FileIO, ExclusiveKeepsOthersOut) {
    TStoreFileIO first;
    first.Open(path_, mtDisk, 0, false, true);
    EXPECT_EQ(OpenError(path_), "Cannot open file " + path_);
    first.Close();
    TStoreFileIO shared;
    shared.Open(path_);
    TStoreFileIO exclusive;
    EXPECT_THROW(exclusive.Open(path_, mtDisk, 0, false, true), EDatabaseError);
    EXPECT_FALSE(exclusive.IsOpen());
    // Nor can a new file replace one that is open.
    EXPECT_FALSE(test::CreateProgramDatabase(path_));
}

TEST_F(FileIO, ReadOnlyAttributeAndReadOnlyOpen) {
    ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
    {
        TStoreFileIO io;
        io.Open(path_);
        EXPECT_TRUE(io.ReadOnlyAttribute());
        EXPECT_FALSE(io.CanWrite());
        try {
            io.CreateTable("t", test::ProfileFields());
            FAIL();
        } catch (const EDatabaseError& e) {
            EXPECT_STREQ(e.what(), "Cannot modify a read-only database");
        }
        EXPECT_THROW(io.Lock(), EDatabaseError);
    }
    ASSERT_EQ(::chmod(path_.c_str(), 0644), 0);
    TStoreFileIO io;
    io.Open(path_, mtDisk, 0, true, false);
    EXPECT_FALSE(io.ReadOnlyAttribute());
    EXPECT_TRUE(io.ReadOnly());
    EXPECT_THROW(io.CreateTable("t", test::ProfileFields()), EDatabaseError);
    EXPECT_EQ(test::ReadFileBytes(path_).size(), 3821u);
}

TEST(MemoryMedium, NamesAndImages) {
    TMemoryStream image;
    const std::string name = TMemoryMedium::Register(&image);
    EXPECT_EQ(name[0], ':');
    EXPECT_EQ(TMemoryMedium::Register(&image), name);
    ASSERT_TRUE(TStoreFileIO::CreateDatabaseFile(name, mtMemory, true, 3, "ZLIB", true, "Twofish",
                                                 "pw", false));
    EXPECT_EQ(image.Size(), 3821);
    {
        TStoreFileIO io;
        io.Open(name, mtMemory);
        EXPECT_TRUE(io.CheckPassword("pw"));
        io.Lock();  // no file lock for memory images, but it still nests
        io.Unlock();
        ASSERT_TRUE(io.CreateTable("T", test::ProfileFields()));
        EXPECT_EQ(io.TableNames(), std::vector<std::string>{"T"});
    }
    EXPECT_EQ(image.Size(), 3821 + 4821);  // the caller's stream holds the image

    for (const std::string bad : {"", ":", "1234", ":12G4", ": 12", ":FFFFFFFFFFFFFFFFFF"}) {
        EXPECT_EQ(OpenError(bad, mtMemory), "Invalid database name '" + bad + "'") << bad;
    }
    EXPECT_EQ(OpenError(":7fffffff", mtMemory), "Invalid database name ':7fffffff'");
    TMemoryStream junk;
    junk.LoadFromBuffer("not a database", 14);
    const std::string junkName = TMemoryMedium::Register(&junk);
    EXPECT_EQ(OpenError(junkName, mtMemory),
              "Database file '" + junkName + "' is an invalid database");
    TMemoryMedium::Unregister(&junk);
    TMemoryMedium::Unregister(&image);
    EXPECT_EQ(OpenError(name, mtMemory), "Invalid database name '" + name + "'");
}

}  // namespace
}  // namespace quorv::store
