// Writes the seed images of the store fuzzer: small, valid databases of every shape the
// store writes. Usage: make_store_corpus <folder>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "StoreImageExercise.h"
#include "store/FieldTypes.h"
#include "store/MemoryMedium.h"
#include "store/StoreFileIO.h"
#include "store/StoreTableIO.h"

using namespace quorv::store;

namespace {

struct Settings {
    bool compress;
    bool encrypt;
    const char* cipher;
    bool writeVerify;
};

std::vector<uint8_t> MakeImage(const Settings& s, void (*fill)(TStoreFileIO&)) {
    TMemoryStream image;
    const TMemoryRegistration registration(&image);
    const std::string& name = registration.Name();
    if (!TStoreFileIO::CreateDatabaseFile(name, mtMemory, s.compress, 3, "ZLIB", s.encrypt,
                                          s.cipher, fuzz::kSeedPassword, s.writeVerify)) {
        std::fprintf(stderr, "cannot create an image\n");
        std::exit(1);
    }
    {
        TStoreFileIO io;
        io.Open(name, mtMemory);
        io.CheckPassword(fuzz::kSeedPassword);
        fill(io);
    }
    return image.Bytes();
}

void Empty(TStoreFileIO&) {}

void AddRecord(TStoreTableIO& t, const std::string& name, int32_t icon, const std::string& memo) {
    TMemoryStream m;
    m.LoadFromBuffer(memo.data(), memo.size());
    TFieldBuffers v(t.FieldDefs().Count());
    for (int32_t f = 0; f < t.FieldDefs().Count(); ++f) {
        const TStoreFieldDef& d = t.FieldDefs()[f];
        if (d.IsBlob()) {
            v.SetBlob(f, &m);
        } else if (IsStringFieldType(d.FieldType)) {
            v.SetText(f, name);
        } else if (d.FieldType == ftInteger) {
            v.SetInt32(f, icon);
        }
    }
    t.AppendRecord(v);
}

// The program's own two tables with a few rows, one deleted, one memo moved.
void Program(TStoreFileIO& io) {
    io.CreateTable("tblIPList",
                   {MakeFieldItem("Num", ftAutoInc, 0), MakeFieldItem("Name", ftString, 50),
                    MakeFieldItem("IP", ftString, 255), MakeFieldItem("Icon", ftInteger, 0),
                    MakeFieldItem("Script", ftMemo, 0)});
    io.CreateTable("tblOption",
                   {MakeFieldItem("Num", ftAutoInc, 0), MakeFieldItem("Name", ftString, 32),
                    MakeFieldItem("Value", ftString, 255)});
    TStoreTableIO p(io, "tblIPList");
    p.Open();
    AddRecord(p, "Home", 11, "ipconfig /renew");
    AddRecord(p, "Office", 12, std::string(200, 'x'));
    AddRecord(p, "\xED\x95\x9C\xEA\xB8\x80", 13, "");
    p.DeleteRecord(1);
    TMemoryStream grown;
    const std::string text(700, 'g');
    grown.LoadFromBuffer(text.data(), text.size());
    TFieldBuffers v(5);
    v.SetBlob(4, &grown);
    p.ModifyRecord(0, v);
    TStoreTableIO o(io, "tblOption");
    o.Open();
    AddRecord(o, "DblClickAction", 0, "");
    AddRecord(o, "AfterIPInfo", 0, "");
}

// One field of every stored type.
void AllTypes(TStoreFileIO& io) {
    std::vector<TFieldDesc> fields;
    for (int code : {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 14, 15, 16, 17, 18, 23, 25}) {
        fields.push_back(MakeFieldItem("F" + std::to_string(code), static_cast<uint8_t>(code),
                                       IsSizedFieldType(code) ? 8 : 0, code == 23 ? 1 : 0));
    }
    io.CreateTable("Types", fields);
    TStoreTableIO t(io, "Types");
    t.Open();
    AddRecord(t, "abcdefghij", 7, "memo value");
    AddRecord(t, "second", -7, std::string(90, 'z'));
}

void Write(const std::string& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = folder + "/seed-" + name + ".bin";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_store_corpus <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    Write(folder, "empty-gost", MakeImage({true, true, "Gost", false}, Empty));
    Write(folder, "program-gost", MakeImage({true, true, "Gost", false}, Program));
    Write(folder, "program-plain", MakeImage({false, false, "", false}, Program));
    Write(folder, "program-blowfish-verify", MakeImage({true, true, "Blowfish", true}, Program));
    Write(folder, "types-twofish", MakeImage({false, true, "Twofish", false}, AllTypes));
    Write(folder, "types-zlib", MakeImage({true, false, "", false}, AllTypes));
    return 0;
}
