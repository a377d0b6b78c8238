#include "StoreTool.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "Json.h"
#include "store/BlobSlot.h"
#include "store/Coding.h"
#include "store/FieldTypes.h"
#include "store/FileIdent.h"
#include "store/FileLayout.h"
#include "store/StoreCheck.h"
#include "store/StoreDatabase.h"
#include "store/StoreFileIO.h"
#include "store/StoreIndexes.h"
#include "store/StoreSession.h"
#include "store/StoreTable.h"
#include "store/StoreTableIO.h"
#include "store/processing/StoreErrors.h"

namespace quorv::storetool {

using namespace quorv::store;

namespace {

const char* kUsage =
    "usage: quorv-store create FILE [--compress ZLIB|none] [--level N] "
    "[--cipher Gost|Blowfish|Twofish|none] [--password P]\n"
    "       quorv-store create-table FILE TABLE FIELD:TYPE[:SIZE] ...\n"
    "       quorv-store create-index FILE TABLE INDEX FIELD[,FIELD...] "
    "[--options primary,unique,descending,caseinsensitive]\n"
    "       quorv-store insert FILE TABLE FIELD=VALUE ...\n"
    "       quorv-store delete FILE TABLE RECNO\n"
    "       quorv-store find FILE TABLE INDEX VALUE...\n"
    "       quorv-store dump FILE [TABLE] [--index NAME]\n"
    "       quorv-store info FILE\n"
    "       quorv-store check FILE\n"
    "       (--password P on every command that opens a file)";

// A usage mistake: reported like a store failure.
class EUsage : public quorv::Exception {
  public:
    using quorv::Exception::Exception;
};

struct TArgs {
    std::vector<std::string> Positional;
    std::map<std::string, std::string> Options;

    std::optional<std::string> Option(const std::string& name) const {
        const auto it = Options.find(name);
        if (it == Options.end()) {
            return std::nullopt;
        }
        return it->second;
    }
};

TArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& allowed) {
    TArgs parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            const std::string name = a.substr(2);
            if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) {
                throw EUsage("Unknown option '" + a + "'");
            }
            if (i + 1 >= args.size()) {
                throw EUsage("Option '" + a + "' needs a value");
            }
            parsed.Options[name] = args[++i];
        } else {
            parsed.Positional.push_back(a);
        }
    }
    return parsed;
}

void NeedPositional(const TArgs& args, size_t least, size_t most = SIZE_MAX) {
    if (args.Positional.size() < least || args.Positional.size() > most) {
        throw EUsage(kUsage);
    }
}

const std::vector<std::pair<std::string, uint8_t>>& TypeNames() {
    static const std::vector<std::pair<std::string, uint8_t>> names = {
        {"string", ftString},       {"smallint", ftSmallint}, {"integer", ftInteger},
        {"word", ftWord},           {"boolean", ftBoolean},   {"float", ftFloat},
        {"currency", ftCurrency},   {"date", ftDate},         {"time", ftTime},
        {"datetime", ftDateTime},   {"autoinc", ftAutoInc},   {"blob", ftBlob},
        {"memo", ftMemo},           {"graphic", ftGraphic},   {"fmtmemo", ftFmtMemo},
        {"fixedchar", ftFixedChar}, {"largeint", ftLargeint}};
    return names;
}

std::optional<uint8_t> TypeCode(const std::string& name) {
    for (const auto& [n, code] : TypeNames()) {
        if (n == name) {
            return code;
        }
    }
    return std::nullopt;
}

std::string TypeName(uint8_t code) {
    for (const auto& [n, c] : TypeNames()) {
        if (c == code) {
            return n;
        }
    }
    return std::to_string(code);
}

// Index options as the command line and the info output name them.
const std::vector<std::pair<std::string, uint8_t>>& IndexOptionNames() {
    static const std::vector<std::pair<std::string, uint8_t>> names = {
        {"primary", tiPrimary},
        {"unique", tiUnique},
        {"descending", tiDescending},
        {"caseinsensitive", tiCaseInsensitive}};
    return names;
}

std::optional<int64_t> ParseInteger(const std::string& text) {
    int64_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return v;
}

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, sep)) {
        parts.push_back(part);
    }
    if (!text.empty() && text.back() == sep) {
        parts.emplace_back();
    }
    return parts;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw EUsage("Cannot read file " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// ---- opening --------------------------------------------------------------------------

// The tool's own session keeps its databases apart from anything else in the process.
TStoreSession& ToolSession() {
    static TStoreSession session("quorv-store");
    return session;
}

void OpenCursor(TStoreTable& table, const std::string& file, const std::string& tableName,
                const TArgs& args) {
    table.SetSessionName(ToolSession().SessionName());
    table.SetDatabaseName(file);
    table.SetTableName(tableName);
    if (auto password = args.Option("password")) {
        table.SetPassword(*password);
    }
    table.Open();
}

void OpenDatabase(TStoreDatabase& db, const std::string& file, const TArgs& args) {
    db.SetDatabaseName(file);
    if (auto password = args.Option("password")) {
        db.SetPassword(*password);
    }
    db.CheckAccess();
}

// ---- records as JSON ------------------------------------------------------------------

Json FieldJson(TStoreField& field) {
    switch (field.DataType()) {
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
        case ftLargeint:
            return field.AsLargeInt();
        case ftFloat:
        case ftCurrency:
            return field.AsFloat();
        case ftBoolean:
            return field.AsBoolean();
        case ftDateTime: {
            std::string text = field.AsString();
            std::replace(text.begin(), text.end(), ' ', 'T');
            return text;
        }
        case ftBlob:
        case ftGraphic:
            return Base64(field.Native());
        default:
            return field.AsString();
    }
}

Json RecordJson(TStoreTable& table) {
    Json record = {{"recno", table.Bookmark()}};
    for (int32_t f = 0; f < table.FieldCount(); ++f) {
        TStoreField& field = table.Fields(f);
        AppendMember(record, field.FieldName(), FieldJson(field));
    }
    return record;
}

// One line per record the table counts but had to leave out; true when there was any.
bool ReportDamaged(const std::string& tableName, const std::vector<int32_t>& damaged,
                   std::ostream& err) {
    for (int32_t recNo : damaged) {
        err << "table '" << tableName << "': record " << recNo
            << " is damaged and was skipped (quorv-store check tells more)\n";
    }
    return !damaged.empty();
}

// ---- commands -------------------------------------------------------------------------

int Create(const TArgs& args, std::ostream&) {
    NeedPositional(args, 1, 1);
    const std::string compress = args.Option("compress").value_or("none");
    const std::string cipher = args.Option("cipher").value_or("none");
    if (compress != "ZLIB" && compress != "none") {
        throw EUsage("Unknown compression '" + compress + "'");
    }
    if (cipher != "Gost" && cipher != "Blowfish" && cipher != "Twofish" && cipher != "none") {
        throw EUsage("Unknown cipher '" + cipher + "'");
    }
    int64_t level = 3;
    if (auto text = args.Option("level")) {
        const auto v = ParseInteger(*text);
        if (!v || *v < 0 || *v > 9) {
            throw EUsage("Invalid compression level '" + *text + "'");
        }
        level = *v;
    }
    TStoreDatabase db(&ToolSession());
    const std::string& file = args.Positional[0];
    // The store replaces an existing file; a tool for recovering data must not.
    std::error_code ec;
    if (std::filesystem::exists(file, ec) || ec) {
        throw EUsage("File " + file + " already exists");
    }
    if (!db.CreateDatabase(file, compress != "none", static_cast<uint8_t>(level),
                           compress == "none" ? "" : compress, cipher != "none",
                           cipher == "none" ? "" : cipher, args.Option("password").value_or(""),
                           false)) {
        throw EDatabaseError("Cannot create file " + file);
    }
    return 0;
}

TFieldDesc ParseFieldDesc(const std::string& text) {
    const std::vector<std::string> parts = Split(text, ':');
    // FIELD:TYPE or FIELD:TYPE:SIZE; the name itself may hold colons.
    if (parts.size() >= 3 && TypeCode(parts[parts.size() - 2]) && ParseInteger(parts.back())) {
        const size_t cut = text.size() - parts.back().size() - parts[parts.size() - 2].size() - 2;
        const auto size = *ParseInteger(parts.back());
        return MakeFieldItem(text.substr(0, cut), *TypeCode(parts[parts.size() - 2]),
                             static_cast<int32_t>(std::clamp<int64_t>(size, -1, INT32_MAX)));
    }
    if (parts.size() >= 2 && TypeCode(parts.back())) {
        const size_t cut = text.size() - parts.back().size() - 1;
        return MakeFieldItem(text.substr(0, cut), *TypeCode(parts.back()), 0);
    }
    throw EUsage("Invalid field description '" + text + "'");
}

int CreateTable(const TArgs& args, std::ostream&) {
    NeedPositional(args, 3);
    std::vector<TFieldDesc> fields;
    for (size_t i = 2; i < args.Positional.size(); ++i) {
        fields.push_back(ParseFieldDesc(args.Positional[i]));
    }
    TStoreDatabase db(&ToolSession());
    OpenDatabase(db, args.Positional[0], args);
    if (!db.CreateTable(args.Positional[1], fields)) {
        throw EDatabaseError("Cannot create table '" + args.Positional[1] + "'");
    }
    return 0;
}

int CreateIndex(const TArgs& args, std::ostream&) {
    NeedPositional(args, 4, 4);
    uint8_t options = 0;
    if (auto text = args.Option("options")) {
        for (const std::string& o : Split(*text, ',')) {
            const auto& names = IndexOptionNames();
            const auto it = std::find_if(names.begin(), names.end(),
                                         [&](const auto& n) { return n.first == o; });
            if (it == names.end()) {
                throw EUsage("Unknown index option '" + o + "'");
            }
            options |= it->second;
        }
    }
    TStoreDatabase db(&ToolSession());
    OpenDatabase(db, args.Positional[0], args);
    if (!db.CreateIndex(args.Positional[1], args.Positional[2], options,
                        Split(args.Positional[3], ','))) {
        throw EDatabaseError("Cannot create index '" + args.Positional[2] + "'");
    }
    return 0;
}

int Insert(const TArgs& args, std::ostream& out) {
    NeedPositional(args, 2);
    TStoreTable table;
    OpenCursor(table, args.Positional[0], args.Positional[1], args);
    table.Insert();
    for (size_t i = 2; i < args.Positional.size(); ++i) {
        const std::string& a = args.Positional[i];
        const size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0) {
            throw EUsage("Expected FIELD=VALUE, got '" + a + "'");
        }
        TStoreField& field = table.FieldByName(a.substr(0, eq));
        const std::string value = a.substr(eq + 1);
        if (field.IsBlob() && !value.empty() && value[0] == '@') {
            field.SetNative(ReadWholeFile(value.substr(1)));
        } else {
            field.SetAsString(value);
        }
    }
    table.Post();
    out << JsonText(RecordJson(table)) << "\n";
    return 0;
}

int Delete(const TArgs& args, std::ostream&) {
    NeedPositional(args, 3, 3);
    const auto recNo = ParseInteger(args.Positional[2]);
    if (!recNo || *recNo < 0 || *recNo > INT32_MAX) {
        throw EUsage("Invalid record number '" + args.Positional[2] + "'");
    }
    TStoreTable table;
    OpenCursor(table, args.Positional[0], args.Positional[1], args);
    table.GotoBookmark(static_cast<int32_t>(*recNo));
    table.Delete();
    return 0;
}

int Find(const TArgs& args, std::ostream& out, std::ostream& err) {
    NeedPositional(args, 4);
    TStoreTable table;
    OpenCursor(table, args.Positional[0], args.Positional[1], args);
    const std::vector<std::string> values(args.Positional.begin() + 3, args.Positional.end());
    const bool found = table.FindKey(args.Positional[2], values);
    if (found) {
        out << JsonText(RecordJson(table)) << "\n";
    }
    const bool damaged = ReportDamaged(table.TableName(), table.DamagedRecords(), err);
    return found && !damaged ? 0 : 1;
}

int Dump(const TArgs& args, std::ostream& out, std::ostream& err) {
    NeedPositional(args, 1, 2);
    std::vector<std::string> tables;
    if (args.Positional.size() == 2) {
        tables.push_back(args.Positional[1]);
    } else {
        TStoreDatabase db(&ToolSession());
        OpenDatabase(db, args.Positional[0], args);
        tables = db.TableNames();
    }
    const auto index = args.Option("index");
    Json dumped = Json::array();
    bool damaged = false;
    for (size_t t = 0; t < tables.size(); ++t) {
        TStoreTable table;
        OpenCursor(table, args.Positional[0], tables[t], args);
        if (index) {
            if (table.Database()
                    ->IndexesOf(*table.Database()->FindTableIO(tables[t]))
                    .IndexOf(*index) < 0) {
                throw EDatabaseError("Invalid index name '" + *index + "'");
            }
            table.SetIndexName(*index);
        } else {
            table.SetNaturalOrder(true);
        }
        Json records = Json::array();
        for (table.First(); !table.Eof(); table.Next()) {
            records.push_back(RecordJson(table));
        }
        dumped.push_back({{"name", tables[t]}, {"records", std::move(records)}});
        damaged = ReportDamaged(tables[t], table.DamagedRecords(), err) || damaged;
    }
    out << JsonText({{"tables", std::move(dumped)}}) << "\n";
    return damaged ? 1 : 0;
}

Json OptionsJson(uint8_t options) {
    Json names = Json::array();
    for (const auto& [name, bit] : IndexOptionNames()) {
        if (options & bit) {
            names.push_back(name);
        }
    }
    return names;
}

void OpenFile(TStoreFileIO& file, const TArgs& args) {
    file.Open(args.Positional[0], mtDisk, 0, true);
    if (auto password = args.Option("password"); password && !file.CheckPassword(*password)) {
        throw EDatabaseError("Access denied");
    }
}

int Info(const TArgs& args, std::ostream& out, std::ostream& err) {
    NeedPositional(args, 1, 1);
    TStoreFileIO file;
    OpenFile(file, args);
    uint8_t ident[kFileIdentSize];
    file.ReadAt(0, ident, kFileIdentSize);
    const TExtHeader& ext = file.ExtHeader();
    Json tables = Json::array();
    const std::vector<std::string> names = file.TableNames();
    bool damaged = false;
    for (const std::string& name : names) {
        TStoreTableIO table(file, name);
        table.Open();
        const TTableHeader& h = table.Header();
        Json fields = Json::array();
        for (const TFieldItem& item : h.Fields) {
            fields.push_back({{"name", item.Name},
                              {"type", TypeName(item.FieldType)},
                              {"size", item.Size},
                              {"skip", item.SkipProcessing != 0}});
        }
        Json indexes = Json::array();
        for (const TIndexItem& x : h.Indexes) {
            Json indexFields = Json::array();
            for (int32_t n : x.FieldNumbers) {
                if (n < 0) {
                    break;
                }
                indexFields.push_back(h.Fields.at(static_cast<size_t>(n)).Name);
            }
            indexes.push_back({{"name", x.Name},
                               {"options", OptionsJson(x.Options)},
                               {"fields", std::move(indexFields)}});
        }
        tables.push_back({{"name", h.Name},
                          {"fields", std::move(fields)},
                          {"indexes", std::move(indexes)},
                          {"records", table.PhysicalOrder().size()}});
        damaged = ReportDamaged(name, table.DamagedRecords(), err) || damaged;
    }
    const Json info = {{"version", TFileIdent::DecodeFrom(ident).Version()},
                       {"compress", ext.Compress},
                       {"compressLevel", ext.CompressLevel},
                       {"compressAlgo", ext.CompressAlgo},
                       {"encrypt", ext.Encrypt},
                       {"encryptAlgo", ext.EncryptAlgo},
                       {"encryptMode", ext.EncryptMode},
                       {"writeVerify", ext.WriteVerify},
                       {"tables", std::move(tables)}};
    out << JsonText(info) << "\n";
    return damaged ? 1 : 0;
}

// ---- check ----------------------------------------------------------------------------

int Check(const TArgs& args, std::ostream& out) {
    NeedPositional(args, 1, 1);
    TStoreFileIO file;
    OpenFile(file, args);
    if (file.ExtHeader().Encrypt && !args.Option("password")) {
        throw EDatabaseError("Access denied");
    }
    int64_t records = 0;
    const std::vector<std::string> problems = CheckDatabase(file, &records);
    if (!problems.empty()) {
        for (const std::string& p : problems) {
            out << p << "\n";
        }
        return 1;
    }
    const Json summary = {
        {"consistent", true}, {"tables", file.Directory().Count}, {"records", records}};
    out << JsonText(summary) << "\n";
    return 0;
}

}  // namespace

int RunStoreTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage << "\n";
        return 2;
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    try {
        if (command == "create") {
            return Create(ParseArgs(rest, {"compress", "level", "cipher", "password"}), out);
        }
        if (command == "create-table") {
            return CreateTable(ParseArgs(rest, {"password"}), out);
        }
        if (command == "create-index") {
            return CreateIndex(ParseArgs(rest, {"options", "password"}), out);
        }
        if (command == "insert") {
            return Insert(ParseArgs(rest, {"password"}), out);
        }
        if (command == "delete") {
            return Delete(ParseArgs(rest, {"password"}), out);
        }
        if (command == "find") {
            return Find(ParseArgs(rest, {"password"}), out, err);
        }
        if (command == "dump") {
            return Dump(ParseArgs(rest, {"index", "password"}), out, err);
        }
        if (command == "info") {
            return Info(ParseArgs(rest, {"password"}), out, err);
        }
        if (command == "check") {
            return Check(ParseArgs(rest, {"password"}), out);
        }
        throw EUsage(kUsage);
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return 2;
    }
}

}  // namespace quorv::storetool
