#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "../../store/StoreTestUtil.h"
#include "Json.h"

extern char** environ;

namespace {

struct Result {
    int Code = -1;
    std::string Out;
    std::string Err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class QuorvStore : public ::testing::Test {
  protected:
    Result Run(std::vector<std::string> args) {
        args.insert(args.begin(), std::string(QUORV_BIN_DIR) + "/quorv-store");
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const std::string out = dir_.File("out"), err = dir_.File("err");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        pid_t pid;
        Result r;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        r.Out = Slurp(out);
        r.Err = Slurp(err);
        return r;
    }

    // Runs a command that must succeed and returns its output.
    std::string Ok(const std::vector<std::string>& args) {
        const Result r = Run(args);
        EXPECT_EQ(r.Code, 0) << r.Err;
        return r.Out;
    }

    quorv::store::test::TempDir dir_;
    std::string db_ = dir_.File("p.dat");
};

TEST_F(QuorvStore, EncryptedRoundTrip) {
    const std::vector<std::string> pw = {"--password", "8074"};
    auto with = [&](std::vector<std::string> args) {
        args.insert(args.end(), pw.begin(), pw.end());
        return args;
    };
    Ok(with({"create", db_, "--compress", "ZLIB", "--cipher", "Gost"}));
    Ok(with({"create-table", db_, "tblIPList", "Num:autoinc", "Name:string:50", "Icon:integer",
             "When:datetime", "On:boolean", "Script:memo", "Pic:blob"}));
    Ok(with({"create-index", db_, "tblIPList", "idxName", "Name"}));
    const std::string memo = dir_.File("script.txt");
    std::ofstream(memo) << "ipconfig /all\r\n\"quoted\" ü";
    EXPECT_EQ(Ok(with({"insert", db_, "tblIPList", "Name=office", "Icon=12",
                       "When=2024-02-29T13:45:00.250", "On=true", "Script=@" + memo, "Pic=abc"})),
              "{\"recno\":0,\"Num\":1,\"Name\":\"office\",\"Icon\":12,"
              "\"When\":\"2024-02-29T13:45:00.250\",\"On\":true,"
              "\"Script\":\"ipconfig /all\\r\\n\\\"quoted\\\" ü\",\"Pic\":\"YWJj\"}\n");
    Ok(with({"insert", db_, "tblIPList", "Name=home"}));
    Ok(with({"insert", db_, "tblIPList", "Name=cafe"}));

    const std::string found = Ok(with({"find", db_, "tblIPList", "idxName", "home"}));
    EXPECT_NE(found.find("\"recno\":1,\"Num\":2,\"Name\":\"home\""), std::string::npos) << found;
    EXPECT_EQ(Run(with({"find", db_, "tblIPList", "idxName", "Home"})).Code, 1);

    Ok(with({"delete", db_, "tblIPList", "1"}));
    const std::string dump = Ok(with({"dump", db_, "tblIPList", "--index", "idxName"}));
    const auto cafe = dump.find("\"cafe\""), office = dump.find("\"office\"");
    ASSERT_NE(cafe, std::string::npos);
    ASSERT_NE(office, std::string::npos);
    EXPECT_LT(cafe, office);
    EXPECT_EQ(dump.find("\"home\""), std::string::npos);
    const std::string physical = Ok(with({"dump", db_}));
    EXPECT_EQ(physical.rfind("{\"tables\":[{\"name\":\"tblIPList\",\"records\":[{\"recno\":0,", 0),
              0u)
        << physical;
    EXPECT_NE(physical.find("},{\"recno\":2,"), std::string::npos);

    const std::string info = Ok(with({"info", db_}));
    EXPECT_NE(info.find("\"version\":\"2.0\",\"compress\":true,\"compressLevel\":3,"
                        "\"compressAlgo\":\"ZLIB\",\"encrypt\":true,\"encryptAlgo\":\"Gost\""),
              std::string::npos)
        << info;
    EXPECT_NE(info.find("{\"name\":\"idxName\",\"options\":[],\"fields\":[\"Name\"]}"),
              std::string::npos);
    EXPECT_NE(info.find("\"records\":2}"), std::string::npos);
    EXPECT_EQ(Ok(with({"check", db_})), "{\"consistent\":true,\"tables\":1,\"records\":2}\n");
}

TEST_F(QuorvStore, FailuresAndDamage) {
    Result r = Run({"info", dir_.File("missing.dat")});
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(r.Err, "Cannot open file " + dir_.File("missing.dat") + "\n");
    Ok({"create", db_, "--cipher", "Blowfish", "--password", "pw"});
    r = Run({"create", db_});  // never over an existing file
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(r.Err, "File " + db_ + " already exists\n");
    r = Run({"create-table", db_, "t", "A:integer", "--password", "bad"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(r.Err, "Access denied\n");
    Ok({"create-table", db_, "t", "A:integer", "B:string:8", "--password", "pw"});
    r = Run({"create-index", db_, "t", "i", "C", "--password", "pw"});
    EXPECT_EQ(r.Err, "Field 'C' not found\n");
    Ok({"create-index", db_, "t", "u", "B", "--options", "unique", "--password", "pw"});
    Ok({"insert", db_, "t", "A=1", "B=x", "--password", "pw"});
    r = Run({"insert", db_, "t", "A=2", "B=x", "--password", "pw"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(r.Err, "Invalid unique field value 'x'\n");
    r = Run({"insert", db_, "t", "A=x1", "--password", "pw"});
    EXPECT_EQ(r.Err, "'x1' is not a valid integer value\n");

    // A record-tab entry pointing past the end of the file is reported, not crashed on.
    Ok({"insert", db_, "t", "A=3", "B=y", "--password", "pw"});
    auto bytes = quorv::store::test::ReadFileBytes(db_);
    const size_t tab = 3821 + 4821;  // the record tab follows the table header
    bytes[tab + 4 + 5 + 3] = 0x7F;   // entry 1's offset
    quorv::store::test::WriteFileBytes(db_, bytes);
    r = Run({"check", db_, "--password", "pw"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Out.find("record 1 is incomplete"), std::string::npos) << r.Out;
}

// A counted record cut short by a truncated file: dump, find and info still show the
// rest, but name the record they skip and exit 1.
TEST_F(QuorvStore, SkippedRecordsAreNamed) {
    Ok({"create", db_});
    Ok({"create-table", db_, "t", "N:integer", "M:memo"});
    Ok({"create-index", db_, "t", "byN", "N"});
    const std::string memo = dir_.File("memo.txt");
    std::ofstream(memo) << std::string(500, 'm');
    Ok({"insert", db_, "t", "N=1", "M=short"});
    Ok({"insert", db_, "t", "N=2", "M=@" + memo});
    std::filesystem::resize_file(db_, std::filesystem::file_size(db_) - 100);

    const std::string line = "table 't': record 1 is damaged and was skipped";
    for (const std::vector<std::string>& args : {std::vector<std::string>{"dump", db_},
                                                 {"dump", db_, "t", "--index", "byN"},
                                                 {"find", db_, "t", "byN", "1"},
                                                 {"info", db_}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.Code, 1) << args[0];
        EXPECT_EQ(r.Err.rfind(line, 0), 0u) << args[0] << ": " << r.Err;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
        const bool shown = r.Out.find("\"N\":1") != std::string::npos ||
                           r.Out.find("\"records\":1}") != std::string::npos;
        EXPECT_TRUE(shown) << args[0] << ": " << r.Out;
    }
    EXPECT_EQ(Run({"check", db_}).Code, 1);
}

TEST_F(QuorvStore, CheckFindsABrokenIndexListThatReadersStillOrder) {
    Ok({"create", db_});
    Ok({"create-table", db_, "t", "Name:string:10"});
    Ok({"create-index", db_, "t", "i", "Name", "--options", "descending"});
    for (const char* name : {"Name=b", "Name=c", "Name=a"}) {
        Ok({"insert", db_, "t", name});
    }
    auto bytes = quorv::store::test::ReadFileBytes(db_);
    const size_t head = 3821 + 4181 + 70;  // the first index item's head
    bytes[head] = 7;                       // an entry never written
    quorv::store::test::WriteFileBytes(db_, bytes);
    const Result r = Run({"check", db_});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Out,
              "table 't', index 'i': the entry of record 7 names record 0\n"
              "table 't', index 'i': its list reaches 0 of 3 records\n");
    const std::string dump = Ok({"dump", db_, "t", "--index", "i"});
    EXPECT_LT(dump.find("\"c\""), dump.find("\"b\""));
    EXPECT_LT(dump.find("\"b\""), dump.find("\"a\""));
}

// A record shows every field where the table has it: one named "recno" stands beside the
// record number instead of replacing it, and a float reads as the number stored.
TEST_F(QuorvStore, RecordsShowEveryFieldInTableOrder) {
    Ok({"create", db_});
    Ok({"create-table", db_, "t", "recno:integer", "Z:float", "A:string:8"});
    Ok({"insert", db_, "t", "recno=7", "Z=0.1", "A=a\x01\"b"});
    EXPECT_EQ(Ok({"dump", db_}),
              "{\"tables\":[{\"name\":\"t\",\"records\":[{\"recno\":0,\"recno\":7,"
              "\"Z\":0.1,\"A\":\"a\\u0001\\\"b\"}]}]}\n");
    EXPECT_NE(Ok({"info", db_})
                  .find("\"fields\":[{\"name\":\"recno\",\"type\":\"integer\","
                        "\"size\":0,\"skip\":false},{\"name\":\"Z\""),
              std::string::npos);
}

TEST(QuorvStoreJson, OutputIsValidUtf8) {
    using quorv::storetool::Base64;
    using quorv::storetool::JsonString;
    EXPECT_EQ(JsonString("a\xff\xc3(\"\\\x01\xc3\xbc\xed\xa0\x80"),
              "\"a\xEF\xBF\xBD\xEF\xBF\xBD(\\\"\\\\\\u0001\xc3\xbc"
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(quorv::storetool::JsonNumber(std::numeric_limits<double>::quiet_NaN()), "null");
    EXPECT_EQ(Base64(""), "");
    EXPECT_EQ(Base64("f"), "Zg==");
    EXPECT_EQ(Base64("fo"), "Zm8=");
    EXPECT_EQ(Base64("foobar"), "Zm9vYmFy");
}

}  // namespace
