#include "core/AddressLists.h"

#include "core/CommaText.h"
#include "core/Profile.h"

namespace quorv::dialogs {

bool TAddressLists::FitColumns() const {
    return IP.size() <= static_cast<size_t>(apply::ProfileColumnWidth("IP")) &&
           Mask.size() <= static_cast<size_t>(apply::ProfileColumnWidth("Mask"));
}

TAddressLists ReplaceFirstAddress(const std::string& ip, const std::string& mask,
                                  const std::string& address, const std::string& addressMask) {
    std::vector<std::string> addresses = apply::SplitCommaText(ip);
    if (addresses.empty()) {
        return {address, addressMask};
    }
    addresses[0] = address;
    std::vector<std::string> masks = apply::SplitCommaText(mask);
    if (masks.empty()) {
        masks.push_back(addressMask);
    } else {
        masks[0] = addressMask;
    }
    return {apply::JoinCommaText(addresses), apply::JoinCommaText(masks)};
}

std::vector<TAddressRow> AddressRows(const std::string& ip, const std::string& mask) {
    const std::vector<std::string> addresses = apply::SplitCommaText(ip);
    const std::vector<std::string> masks = apply::SplitCommaText(mask);
    std::vector<TAddressRow> rows;
    for (size_t i = 0; i < addresses.size(); ++i) {
        rows.emplace_back(addresses[i], i < masks.size() ? masks[i] : std::string());
    }
    return rows;
}

TAddressLists JoinAddressRows(const std::vector<TAddressRow>& rows) {
    TAddressLists lists;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) {
            lists.IP += ',';
            lists.Mask += ',';
        }
        lists.IP += rows[i].first;
        lists.Mask += rows[i].second;
    }
    return lists;
}

}  // namespace quorv::dialogs
