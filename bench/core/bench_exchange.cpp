// Importing a .qic file of 1 000 profiles beside appending the same 1 000 records directly
// through the store, both into a fresh data file (Gost and zlib, as the program creates it).
// The import reads and parses the file, checks every section, looks each name up and posts
// the record; the peer only inserts and posts. Parsing alone is also timed at 1 000 and
// 10 000 sections, so a quadratic parse would show. Every figure is per profile.
// BM_ImportBesideSqlite puts the whole import (read, parse, check, look up, write, one
// durable commit) beside SQLite inserting the same rows, with the same columns and the same
// index on the name, in one transaction with synchronous=FULL, in the same folder.
#include <benchmark/benchmark.h>
#include <unistd.h>
#ifdef QUORV_HAVE_SQLITE
#include <sqlite3.h>
#endif

#include <chrono>
#include <cstdio>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/DataFile.h"
#include "core/ProfileExchange.h"
#include "core/ProfileRecord.h"
#include "store/StoreTable.h"
#include "system/IniFile.h"

namespace {

using quorv::apply::Profile;
using quorv::store::TStoreTable;

std::vector<Profile> MakeProfiles(int count) {
    std::vector<Profile> list;
    for (int i = 0; i < count; ++i) {
        Profile p;
        p.Name = "Profile " + std::to_string(i);
        p.SetAddresses({"192.168." + std::to_string(i % 256) + "." + std::to_string(i % 250 + 2),
                        "10.0.0." + std::to_string(i % 200 + 1)},
                       {"255.255.255.0", "255.0.0.0"});
        p.Gateway = "192.168." + std::to_string(i % 256) + ".1";
        p.DNS1 = "8.8.8.8";
        p.DNS2 = "1.1.1.1";
        p.Interface = i % 2 ? "wlan0" : "eth" + std::to_string(i % 4);
        p.Printer = i % 3 ? "" : "Office LaserJet " + std::to_string(i % 7);
        p.Icon = 11 + i % 3;
        p.Script = "ipconfig /release\r\nipconfig /renew\r\nnotify-send switched " +
                   std::to_string(i) + "\r\n";
        list.push_back(std::move(p));
    }
    return list;
}

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("quorv-bench-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

// The exchange file of `count` profiles, written once by the export itself.
const QString& ExchangeFile(int count) {
    static std::map<int, QString> files;
    auto it = files.find(count);
    if (it == files.end()) {
        const std::string data = TempPath("source.dat");
        std::filesystem::remove(data);
        TStoreTable profiles, options;
        quorv::app::OpenDataFile(data, profiles, options);
        for (const Profile& p : MakeProfiles(count)) {
            profiles.Insert();
            quorv::app::WriteProfile(profiles, p);
            profiles.Post();
        }
        const QString file = QString::fromStdString(TempPath(std::to_string(count) + ".qic"));
        quorv::settings::ExportProfiles(profiles, file);
        profiles.Close();
        options.Close();
        std::filesystem::remove(data);
        it = files.emplace(count, file).first;
    }
    return it->second;
}

// A fresh data file per iteration; its creation is not timed.
template <typename Body>
void IntoFreshDataFile(benchmark::State& state, int count, Body body) {
    const std::string path = TempPath("target.dat");
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(path);
        {
            TStoreTable profiles, options;
            quorv::app::OpenDataFile(path, profiles, options);
            state.ResumeTiming();
            body(profiles);
            state.PauseTiming();
            if (profiles.RecordCount() != count) {
                state.SkipWithError("wrong record count");
            }
        }
        std::filesystem::remove(path);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_ImportQic(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const QString& file = ExchangeFile(count);
    IntoFreshDataFile(state, count, [&](TStoreTable& profiles) {
        quorv::settings::ImportProfiles(profiles, quorv::settings::ReadExchangeFile(file),
                                        [](const std::string&) { return true; });
    });
}

void BM_AppendThroughStore(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<Profile> list = MakeProfiles(count);
    IntoFreshDataFile(state, count, [&](TStoreTable& profiles) {
        for (const Profile& p : list) {
            profiles.Insert();
            quorv::app::WriteProfile(profiles, p);
            profiles.Post();
        }
    });
}

// Both ways in turns within each iteration, so a busy machine slows both alike; the
// counters are milliseconds per 1 000 profiles and the ratio import / append.
void BM_ImportBesideAppend(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const QString& file = ExchangeFile(count);
    const std::vector<Profile> list = MakeProfiles(count);
    const std::string path = TempPath("turns.dat");
    using Clock = std::chrono::steady_clock;
    auto timed = [&](auto&& body) {
        std::filesystem::remove(path);
        TStoreTable profiles, options;
        quorv::app::OpenDataFile(path, profiles, options);
        const auto start = Clock::now();
        body(profiles);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (profiles.RecordCount() != count) {
            state.SkipWithError("wrong record count");
        }
        return ms;
    };
    double importMs = 0, appendMs = 0;
    for (auto _ : state) {
        appendMs += timed([&](TStoreTable& profiles) {
            for (const Profile& p : list) {
                profiles.Insert();
                quorv::app::WriteProfile(profiles, p);
                profiles.Post();
            }
        });
        importMs += timed([&](TStoreTable& profiles) {
            quorv::settings::ImportProfiles(profiles, quorv::settings::ReadExchangeFile(file),
                                            [](const std::string&) { return true; });
        });
    }
    std::filesystem::remove(path);
    const double n = static_cast<double>(state.iterations());
    state.counters["import_ms"] = importMs / n;
    state.counters["append_ms"] = appendMs / n;
    state.counters["ratio"] = importMs / appendMs;
}

void BM_ParseQic(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const QString& file = ExchangeFile(count);
    for (auto _ : state) {
        benchmark::DoNotOptimize(quorv::settings::ReadExchangeFile(file));
    }
    state.SetItemsProcessed(state.iterations() * count);
}

#ifdef QUORV_HAVE_SQLITE
void Exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    }
}

// A fresh database with the profile table and its name index (not timed), then every row
// inserted in one transaction (timed); milliseconds.
double SqliteInsert(const std::string& path, const std::vector<Profile>& list) {
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    Exec(db, "PRAGMA synchronous=FULL");
    Exec(db,
         "CREATE TABLE tblIPList (Num INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, IP TEXT, "
         "Mask TEXT, Gateway TEXT, DNS1 TEXT, DNS2 TEXT, Interface TEXT, Printer TEXT, "
         "Icon INTEGER, Script TEXT)");
    Exec(db, "CREATE INDEX idxName ON tblIPList(Name)");
    const auto start = std::chrono::steady_clock::now();
    Exec(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO tblIPList (Name, IP, Mask, Gateway, DNS1, DNS2, Interface, "
                       "Printer, Icon, Script) VALUES (?,?,?,?,?,?,?,?,?,?)",
                       -1, &st, nullptr);
    for (const Profile& p : list) {
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
    Exec(db, "COMMIT");
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    sqlite3_close(db);
    std::filesystem::remove(path);
    return ms;
}

// In turns within each iteration, so a busy machine slows both alike; milliseconds per
// import and the ratio import / SQLite.
void BM_ImportBesideSqlite(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const QString& file = ExchangeFile(count);
    const std::vector<Profile> list = MakeProfiles(count);
    const std::string path = TempPath("beside.dat");
    const std::string sqlitePath = TempPath("beside.sqlite");
    double importMs = 0, sqliteMs = 0;
    for (auto _ : state) {
        sqliteMs += SqliteInsert(sqlitePath, list);
        std::filesystem::remove(path);
        TStoreTable profiles, options;
        quorv::app::OpenDataFile(path, profiles, options);
        const auto start = std::chrono::steady_clock::now();
        quorv::settings::ImportProfiles(profiles, quorv::settings::ReadExchangeFile(file),
                                        [](const std::string&) { return true; });
        importMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (profiles.RecordCount() != count) {
            state.SkipWithError("wrong record count");
        }
    }
    std::filesystem::remove(path);
    const double n = static_cast<double>(state.iterations());
    state.counters["import_ms"] = importMs / n;
    state.counters["sqlite_ms"] = sqliteMs / n;
    state.counters["ratio"] = importMs / sqliteMs;
}
BENCHMARK(BM_ImportBesideSqlite)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
#endif

BENCHMARK(BM_ImportQic)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendThroughStore)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportBesideAppend)->Arg(1000)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseQic)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
