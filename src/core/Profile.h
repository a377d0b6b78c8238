#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quorv::apply {

// Store field-type codes of the record columns.
enum class ColumnType : int { String = 1, Integer = 3, AutoInc = 14, Memo = 16 };

struct ColumnDef {
    const char* name;
    ColumnType type;
    int width;  // characters of a string column; 0 for the others
};

inline constexpr const char* kProfileTable = "tblIPList";
inline constexpr const char* kNameIndex = "idxName";

// The profile table's columns, in the order the table is created with.
inline constexpr std::array<ColumnDef, 11> kProfileColumns{{
    {"Num", ColumnType::AutoInc, 0},
    {"Name", ColumnType::String, 50},
    {"IP", ColumnType::String, 256},
    {"Mask", ColumnType::String, 256},
    {"Gateway", ColumnType::String, 15},
    {"DNS1", ColumnType::String, 15},
    {"DNS2", ColumnType::String, 15},
    {"Interface", ColumnType::String, 256},
    {"Printer", ColumnType::String, 256},
    {"Icon", ColumnType::Integer, 0},
    {"Script", ColumnType::Memo, 0},
}};

// Images of a profile's list row.
inline constexpr int kIconWired = 11;
inline constexpr int kIconWireless = 12;
inline constexpr int kIconOther = 13;

inline constexpr const char* kDhcp = "DHCP";

// The width of a string column of a table (0 for an unknown or non-string one).
template <size_t N>
constexpr int ColumnWidth(const std::array<ColumnDef, N>& columns, std::string_view column) {
    for (const ColumnDef& def : columns) {
        if (column == def.name) {
            return def.type == ColumnType::String ? def.width : 0;
        }
    }
    return 0;
}

// The same for the profile table.
int ProfileColumnWidth(std::string_view column);

// Text cut to a column width. The data file stores UTF-8, so the width counts bytes and
// the cut never splits a character.
std::string CutToWidth(std::string_view text, size_t width);

// One row of tblIPList as a plain value. The store-backed record reads and writes these
// columns by name; everything here works without the store.
struct Profile {
    int Num = 0;  // assigned by the store, never read by the program
    std::string Name;
    std::string IP;    // "DHCP" or a comma list of addresses, the first the primary one
    std::string Mask;  // comma list parallel to IP; empty with "DHCP"
    std::string Gateway;
    std::string DNS1;  // empty: DNS servers are obtained automatically
    std::string DNS2;  // used only when DNS1 is set
    std::string Interface;
    std::string Printer;  // empty: the default printer is left alone
    int Icon = kIconWired;
    std::string Script;  // the user's command lines, CR LF separated

    // The apply run's test: the IP list, each item followed by a line break and the
    // whole trimmed, equals "DHCP" exactly (so "dhcp" is a static address list).
    bool IsDhcp() const;
    bool AutomaticDns() const { return DNS1.empty(); }

    std::vector<std::string> Addresses() const;
    std::vector<std::string> Masks() const;

    // Obtain the address automatically: IP "DHCP", Mask and Gateway empty.
    void SetDhcp();
    // Static addresses; the lists are written as comma lists.
    void SetAddresses(const std::vector<std::string>& addresses,
                      const std::vector<std::string>& masks);
    void SetAutomaticDns();

    // Every string column cut to its width, as putting it into the table does.
    void FitToColumns();

    bool operator==(const Profile&) const = default;
};

// The string columns Name to Printer, in table order, with the members that hold them;
// Num, Icon and the Script memo are handled one by one.
struct ProfileTextColumn {
    const char* name;
    std::string Profile::*member;
};

inline constexpr std::array<ProfileTextColumn, 8> kProfileTextColumns{{
    {"Name", &Profile::Name},
    {"IP", &Profile::IP},
    {"Mask", &Profile::Mask},
    {"Gateway", &Profile::Gateway},
    {"DNS1", &Profile::DNS1},
    {"DNS2", &Profile::DNS2},
    {"Interface", &Profile::Interface},
    {"Printer", &Profile::Printer},
}};

}  // namespace quorv::apply
