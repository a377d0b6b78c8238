// The store beside SQLite on the program's own workload: 10 000 profile-shaped records
// (the profile table's eleven columns, Gost and zlib, a 300-byte script memo each)
// appended, looked up by name and scanned whole. SQLite gets the same rows in one table
// indexed on the name, with synchronous=OFF. Every figure is per record ("s/rec").
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "store/BlobSlot.h"
#include "store/FieldTypes.h"
#include "store/StoreDatabase.h"
#include "store/StoreSession.h"
#include "store/StoreTable.h"
#include "store/StoreTableIO.h"
#include "store/processing/StoreProcessing.h"

namespace {

using namespace quorv::store;

constexpr int kRecords = 10000;
const char* kPassword = "8074";

struct Profile {
    std::string Name, IP, Mask, Gateway, DNS1, DNS2, Interface, Printer, Script;
    int32_t Icon = 11;
};

const std::vector<Profile>& Profiles() {
    static const std::vector<Profile> rows = [] {
        std::vector<Profile> v;
        std::mt19937 rng(7);
        for (int i = 0; i < kRecords; ++i) {
            Profile p;
            char name[32];
            std::snprintf(name, sizeof name, "Profile %05u", static_cast<unsigned>(rng() % 100000));
            p.Name = std::string(name) + "-" + std::to_string(i);
            p.IP = "192.168." + std::to_string(i % 256) + "." + std::to_string(i % 250 + 2) +
                   ",10.0.0." + std::to_string(i % 200 + 1);
            p.Mask = "255.255.255.0,255.0.0.0";
            p.Gateway = "192.168." + std::to_string(i % 256) + ".1";
            p.DNS1 = "8.8.8.8";
            p.DNS2 = "1.1.1.1";
            p.Interface = i % 2 ? "Wi-Fi" : "Ethernet " + std::to_string(i % 4);
            p.Printer = i % 3 ? "" : "Office LaserJet " + std::to_string(i % 7);
            p.Icon = 11 + i % 3;
            while (p.Script.size() < 300) {
                p.Script += "netsh interface ip set dns \"" + p.Interface + "\" static " + p.DNS1 +
                            " " + std::to_string(p.Script.size()) + "\r\n";
            }
            p.Script.resize(300);
            v.push_back(std::move(p));
        }
        return v;
    }();
    return rows;
}

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() /
            (std::string("quorv-bench-") + std::to_string(::getpid()) + "-" + name))
        .string();
}

const char* kColumns[] = {"Name", "IP",        "Mask",    "Gateway", "DNS1",
                          "DNS2", "Interface", "Printer", "Icon",    "Script"};

// ---- the store --------------------------------------------------------------------------

void CreateStore(const std::string& path) {
    TStoreDatabase db;
    db.CreateDatabase(path, true, 3, "ZLIB", true, "Gost", kPassword, false);
    db.SetDatabaseName(path);
    db.SetPassword(kPassword);
    db.CreateTable("tblIPList",
                   {MakeFieldItem("Num", ftAutoInc, 0), MakeFieldItem("Name", ftString, 50),
                    MakeFieldItem("IP", ftString, 256), MakeFieldItem("Mask", ftString, 256),
                    MakeFieldItem("Gateway", ftString, 15), MakeFieldItem("DNS1", ftString, 15),
                    MakeFieldItem("DNS2", ftString, 15), MakeFieldItem("Interface", ftString, 256),
                    MakeFieldItem("Printer", ftString, 256), MakeFieldItem("Icon", ftInteger, 0),
                    MakeFieldItem("Script", ftMemo, 0)});
    db.CreateIndex("tblIPList", "idxName", 0, {"Name"});
}

void OpenStore(TStoreTable& t, const std::string& path) {
    t.SetDatabaseName(path);
    t.SetTableName("tblIPList");
    t.SetPassword(kPassword);
    t.Open();
    // Like SQLite's synchronous=OFF: no data sync between a record and its commit.
    t.Database()->FileIO().SetSyncedAppends(false);
}

void AppendAll(TStoreTable& t) {
    for (const Profile& p : Profiles()) {
        t.Insert();
        t.FieldByName("Name").SetAsString(p.Name);
        t.FieldByName("IP").SetAsString(p.IP);
        t.FieldByName("Mask").SetAsString(p.Mask);
        t.FieldByName("Gateway").SetAsString(p.Gateway);
        t.FieldByName("DNS1").SetAsString(p.DNS1);
        t.FieldByName("DNS2").SetAsString(p.DNS2);
        t.FieldByName("Interface").SetAsString(p.Interface);
        t.FieldByName("Printer").SetAsString(p.Printer);
        t.FieldByName("Icon").SetAsInteger(p.Icon);
        t.FieldByName("Script").SetAsString(p.Script);
        t.Post();
    }
}

// Reads every column of the current record the way the program does.
size_t ReadColumns(std::vector<TStoreField*>& fields) {
    size_t bytes = 0;
    for (TStoreField* f : fields) {
        if (f->DataType() == ftInteger) {
            bytes += static_cast<size_t>(f->AsInteger());
        } else {
            bytes += f->AsString().size();
        }
    }
    return bytes;
}

std::vector<TStoreField*> Columns(TStoreTable& t) {
    std::vector<TStoreField*> fields;
    for (const char* c : kColumns) {
        fields.push_back(&t.FieldByName(c));
    }
    return fields;
}

// One filled database shared by the lookup and scan benchmarks.
const std::string& FilledStore() {
    static const std::string path = [] {
        const std::string p = TempPath("filled.dat");
        CreateStore(p);
        TStoreTable t;
        OpenStore(t, p);
        AppendAll(t);
        return p;
    }();
    return path;
}

// The profiles in the order both lookup benchmarks ask for them.
std::vector<size_t> LookupOrder() {
    std::vector<size_t> order(kRecords);
    std::iota(order.begin(), order.end(), size_t{0});
    std::shuffle(order.begin(), order.end(), std::mt19937(3));
    return order;
}

void SetPerRecord(benchmark::State& state, int64_t records) {
    state.counters["s/rec"] = benchmark::Counter(
        static_cast<double>(records), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Store_Append(benchmark::State& state) {
    const std::string path = TempPath("append.dat");
    for (auto _ : state) {
        state.PauseTiming();
        CreateStore(path);
        {
            TStoreTable t;
            OpenStore(t, path);
            state.ResumeTiming();
            AppendAll(t);
            state.PauseTiming();
        }
        std::filesystem::remove(path);
        state.ResumeTiming();
    }
    SetPerRecord(state, state.iterations() * kRecords);
}

void BM_Store_FindKeyAndRead(benchmark::State& state) {
    TStoreTable t;
    OpenStore(t, FilledStore());
    t.SetIndexName("idxName");
    std::vector<TStoreField*> fields = Columns(t);
    const std::vector<size_t> order = LookupOrder();
    size_t i = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        if (!t.FindKey("idxName", {Profiles()[order[i]].Name})) {
            state.SkipWithError("not found");
            break;
        }
        bytes += ReadColumns(fields);
        i = (i + 1) % order.size();
    }
    benchmark::DoNotOptimize(bytes);
    SetPerRecord(state, state.iterations());
}

void BM_Store_OpenAndScan(benchmark::State& state) {
    FilledStore();
    size_t bytes = 0;
    for (auto _ : state) {
        TStoreTable t;
        OpenStore(t, FilledStore());
        std::vector<TStoreField*> fields = Columns(t);
        for (t.First(); !t.Eof(); t.Next()) {
            bytes += ReadColumns(fields);
        }
    }
    benchmark::DoNotOptimize(bytes);
    SetPerRecord(state, state.iterations() * kRecords);
}

// The floor of a scan: Gost alone deciphering the bytes a scan deciphers (every fixed-width
// value field by field, and every stored memo image).
void BM_Gost_DecipherScanBytes(benchmark::State& state) {
    TStoreFileIO file;
    file.Open(FilledStore(), mtDisk, 0, true);
    file.CheckPassword(kPassword);
    TStoreTableIO table(file, "tblIPList");
    table.Open();
    std::vector<int32_t> widths;
    for (const TStoreFieldDef& def : table.FieldDefs()) {
        if (!def.IsBlob()) {
            widths.push_back(def.Width);
        }
    }
    std::vector<int32_t> memoLengths;
    std::vector<uint8_t> record(static_cast<size_t>(table.RecordSize()));
    for (const TRecordItem& item : table.PhysicalOrder()) {
        file.ReadAt(item.DataOffset + table.FieldDefs()[10].Offset, record.data(), kBlobSlotSize);
        memoLengths.push_back(TBlobSlot::DecodeFrom(record.data()).Length);
    }
    TEncryptMgr& gost = file.Processing().EncryptMgr();
    std::vector<uint8_t> buffer(4096, 0x5A);
    for (auto _ : state) {
        for (int32_t memo : memoLengths) {
            for (int32_t w : widths) {
                gost.DecodeBuffer(buffer.data(), buffer.data(), w);
            }
            gost.DecodeBuffer(buffer.data(), buffer.data(), memo);
        }
    }
    benchmark::DoNotOptimize(buffer.data());
    SetPerRecord(state, state.iterations() * static_cast<int64_t>(memoLengths.size()));
}

// ---- SQLite -----------------------------------------------------------------------------

void Exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    }
}

sqlite3* OpenSqlite(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    Exec(db, "PRAGMA synchronous=OFF");
    return db;
}

void CreateSqlite(sqlite3* db) {
    Exec(db,
         "CREATE TABLE tblIPList (Num INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, IP TEXT, "
         "Mask TEXT, Gateway TEXT, DNS1 TEXT, DNS2 TEXT, Interface TEXT, Printer TEXT, "
         "Icon INTEGER, Script TEXT)");
    Exec(db, "CREATE INDEX idxName ON tblIPList(Name)");
}

void InsertAllSqlite(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO tblIPList (Name, IP, Mask, Gateway, DNS1, DNS2, Interface, "
                       "Printer, Icon, Script) VALUES (?,?,?,?,?,?,?,?,?,?)",
                       -1, &st, nullptr);
    for (const Profile& p : Profiles()) {
        const std::string* texts[] = {&p.Name, &p.IP,   &p.Mask,      &p.Gateway,
                                      &p.DNS1, &p.DNS2, &p.Interface, &p.Printer};
        for (int k = 0; k < 8; ++k) {
            sqlite3_bind_text(st, k + 1, texts[k]->c_str(), static_cast<int>(texts[k]->size()),
                              SQLITE_STATIC);
        }
        sqlite3_bind_int(st, 9, p.Icon);
        sqlite3_bind_text(st, 10, p.Script.c_str(), static_cast<int>(p.Script.size()),
                          SQLITE_STATIC);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
}

size_t ReadSqliteRow(sqlite3_stmt* st) {
    size_t bytes = 0;
    for (int c = 1; c <= 10; ++c) {
        if (c == 9) {
            bytes += static_cast<size_t>(sqlite3_column_int(st, c));
        } else {
            sqlite3_column_text(st, c);
            bytes += static_cast<size_t>(sqlite3_column_bytes(st, c));
        }
    }
    return bytes;
}

const std::string& FilledSqlite() {
    static const std::string path = [] {
        const std::string p = TempPath("filled.sqlite");
        sqlite3* db = OpenSqlite(p);
        CreateSqlite(db);
        InsertAllSqlite(db);
        sqlite3_close(db);
        return p;
    }();
    return path;
}

void BM_SQLite_Insert(benchmark::State& state) {
    const std::string path = TempPath("append.sqlite");
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(path);
        sqlite3* db = OpenSqlite(path);
        CreateSqlite(db);
        state.ResumeTiming();
        InsertAllSqlite(db);  // one transaction per row, as each Post is its own write
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    std::filesystem::remove(path);
    SetPerRecord(state, state.iterations() * kRecords);
}

void BM_SQLite_LookupAndRead(benchmark::State& state) {
    sqlite3* db = OpenSqlite(FilledSqlite());
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM tblIPList WHERE Name = ?", -1, &st, nullptr);
    const std::vector<size_t> order = LookupOrder();
    size_t i = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string& name = Profiles()[order[i]].Name;
        sqlite3_bind_text(st, 1, name.c_str(), static_cast<int>(name.size()), SQLITE_STATIC);
        if (sqlite3_step(st) != SQLITE_ROW) {
            state.SkipWithError("not found");
            break;
        }
        bytes += ReadSqliteRow(st);
        sqlite3_reset(st);
        i = (i + 1) % order.size();
    }
    benchmark::DoNotOptimize(bytes);
    sqlite3_finalize(st);
    sqlite3_close(db);
    SetPerRecord(state, state.iterations());
}

void BM_SQLite_OpenAndScan(benchmark::State& state) {
    FilledSqlite();
    size_t bytes = 0;
    for (auto _ : state) {
        sqlite3* db = OpenSqlite(FilledSqlite());
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT * FROM tblIPList", -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            bytes += ReadSqliteRow(st);
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    benchmark::DoNotOptimize(bytes);
    SetPerRecord(state, state.iterations() * kRecords);
}

BENCHMARK(BM_Store_Append)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SQLite_Insert)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Store_FindKeyAndRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SQLite_LookupAndRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Store_OpenAndScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gost_DecipherScanBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SQLite_OpenAndScan)->Unit(benchmark::kMillisecond);

// Leaves no files behind.
struct Cleanup {
    ~Cleanup() {
        std::error_code ec;
        std::filesystem::remove(TempPath("filled.dat"), ec);
        std::filesystem::remove(TempPath("filled.sqlite"), ec);
    }
} cleanup;

}  // namespace
