#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/Profile.h"

namespace quorv::apply {

inline constexpr const char* kOptionTable = "tblOption";

inline constexpr std::array<ColumnDef, 3> kOptionColumns{{
    {"Num", ColumnType::AutoInc, 0},
    {"Name", ColumnType::String, 32},
    {"Value", ColumnType::String, 32},
}};

inline constexpr const char* kDblClickAction = "DblClickAction";
inline constexpr const char* kAfterIPInfo = "AfterIPInfo";
inline constexpr const char* kShowScriptWindow = "ShowScriptWindow";

struct OptionDefault {
    const char* key;
    const char* value;
};

// The option rows every open of the data file adds where missing, in this order.
inline constexpr std::array<OptionDefault, 3> kOptionDefaults{{
    {kDblClickAction, "0"},
    {kAfterIPInfo, "0"},
    {kShowScriptWindow, "1"},
}};

// An option row's value as found by key; nullopt when the table has no such row.
using OptionValue = std::optional<std::string>;

// A Boolean option is true exactly when its value is "1"; a missing row gives the
// reader's default.
bool OptionIsTrue(const OptionValue& value, bool whenMissing);

bool ShowScriptWindow(const OptionValue& value);  // missing: true
bool AfterIPInfo(const OptionValue& value);       // missing: false

// The double-click action as a number; missing: 0. A value that is not an integer
// raises the runtime's conversion error.
int DblClickAction(const OptionValue& value);

// Strict decimal conversion as the runtime does it: optional sign, digits, 32-bit range.
// Throws quorv::Exception "'<text>' is not a valid integer value" otherwise.
int StrToInt(std::string_view text);

}  // namespace quorv::apply
