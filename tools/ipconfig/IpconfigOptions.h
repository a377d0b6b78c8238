#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorv::ipconfig {

enum class Mode { Short, All, Release, Renew };

struct Options {
    Mode mode = Mode::Short;
    std::string adapter;  // for /release and /renew; empty means every DHCP adapter
};

// "/all", "-all", "/release [IFACE]", "/renew [IFACE]", case-insensitive; nothing on anything else.
std::optional<Options> ParseOptions(const std::vector<std::string>& args);

}  // namespace quorv::ipconfig
