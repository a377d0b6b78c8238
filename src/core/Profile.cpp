#include "core/Profile.h"

#include "core/CommaText.h"

namespace quorv::apply {

int ProfileColumnWidth(std::string_view column) {
    return ColumnWidth(kProfileColumns, column);
}

std::string CutToWidth(std::string_view text, size_t width) {
    if (text.size() <= width) {
        return std::string(text);
    }
    auto continuation = [&](size_t i) {
        return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    };
    size_t end = width;
    if (continuation(end)) {
        // Find the lead byte of the character the cut falls into; stray continuation
        // bytes count as characters of their own and may be cut anywhere.
        size_t lead = end;
        while (lead > 0 && lead + 3 > end && continuation(lead)) {
            --lead;
        }
        unsigned char c = static_cast<unsigned char>(text[lead]);
        size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (!continuation(lead) && lead + length > end) {
            end = lead;
        }
    }
    return std::string(text.substr(0, end));
}

bool Profile::IsDhcp() const {
    std::string joined = JoinLines(SplitCommaText(IP));
    return TrimBlanks(joined) == kDhcp;
}

std::vector<std::string> Profile::Addresses() const {
    return SplitCommaText(IP);
}

std::vector<std::string> Profile::Masks() const {
    return SplitCommaText(Mask);
}

void Profile::SetDhcp() {
    IP = kDhcp;
    Mask.clear();
    Gateway.clear();
}

void Profile::SetAddresses(const std::vector<std::string>& addresses,
                           const std::vector<std::string>& masks) {
    IP = JoinCommaText(addresses);
    Mask = JoinCommaText(masks);
}

void Profile::SetAutomaticDns() {
    DNS1.clear();
    DNS2.clear();
}

void Profile::FitToColumns() {
    for (const ProfileTextColumn& column : kProfileTextColumns) {
        std::string& value = this->*column.member;
        value = CutToWidth(value, static_cast<size_t>(ProfileColumnWidth(column.name)));
    }
}

}  // namespace quorv::apply
