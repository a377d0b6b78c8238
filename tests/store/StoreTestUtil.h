#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "store/FieldBuffers.h"
#include "store/FieldTypes.h"
#include "store/StoreFileIO.h"
#include "store/StoreTableIO.h"
#include "store/TableSchema.h"
#include "store/processing/Streams.h"

namespace quorv::store::test {

// A fresh folder per test, removed afterwards.
class TempDir {
  public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "quorv-store-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline const char* kPassword = "8074";

// The program's own kind of database: zlib, GOST, a fixed password.
inline bool CreateProgramDatabase(const std::string& path) {
    return TStoreFileIO::CreateDatabaseFile(path, mtDisk, true, 3, "ZLIB", true, "Gost", kPassword,
                                            false);
}

// The profile table's shape.
inline std::vector<TFieldDesc> ProfileFields() {
    return {MakeFieldItem("Num", ftAutoInc, 0), MakeFieldItem("Name", ftString, 50),
            MakeFieldItem("Icon", ftInteger, 0), MakeFieldItem("Script", ftMemo, 0)};
}

// Appends a row of the profile table's shape; the number it was given.
inline int32_t AppendProfileRow(TStoreTableIO& table, const std::string& name, int32_t icon,
                                const std::string& script) {
    TMemoryStream memo;
    memo.LoadFromBuffer(script.data(), script.size());
    TFieldBuffers v(4);
    v.SetText(1, name);
    v.SetInt32(2, icon);
    v.SetBlob(3, &memo);
    return table.AppendRecord(v);
}

}  // namespace quorv::store::test
