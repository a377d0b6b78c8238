#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quorv::dialogs {

// The IP and Mask columns of a profile as the dialogs build them.
struct TAddressLists {
    std::string IP;
    std::string Mask;

    // Both fit their 256-character columns. A longer text would be cut by the store,
    // in the middle of an address, so the dialogs refuse it instead.
    bool FitColumns() const;
};

// One row of the advanced dialog: an address and its mask, either may be empty.
using TAddressRow = std::pair<std::string, std::string>;

// The IP dialog's OK: item 0 of both lists becomes the typed address and mask, the other
// items stay. An IP text without any item (empty, or only blanks and commas) is replaced
// as a whole.
TAddressLists ReplaceFirstAddress(const std::string& ip, const std::string& mask,
                                  const std::string& address, const std::string& addressMask);

// The rows the advanced dialog loads: one per IP item, with the mask item of the same
// position or an empty mask.
std::vector<TAddressRow> AddressRows(const std::string& ip, const std::string& mask);

// The advanced dialog's OK: item i of both lists is row i, always, so every mask stays
// with its address; an empty value keeps its position (a trailing empty mask leaves a
// trailing comma).
TAddressLists JoinAddressRows(const std::vector<TAddressRow>& rows);

}  // namespace quorv::dialogs
