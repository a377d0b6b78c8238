#include "IpconfigOptions.h"

#include <algorithm>
#include <cctype>

namespace quorv::ipconfig {

std::optional<Options> ParseOptions(const std::vector<std::string>& args) {
    Options options;
    if (args.empty()) {
        return options;
    }
    std::string option = args[0];
    if (option.size() < 2 || (option[0] != '/' && option[0] != '-')) {
        return std::nullopt;
    }
    std::transform(option.begin(), option.end(), option.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    option.erase(0, 1);
    if (option == "all" && args.size() == 1) {
        options.mode = Mode::All;
    } else if ((option == "release" || option == "renew") && args.size() <= 2) {
        options.mode = option == "release" ? Mode::Release : Mode::Renew;
        if (args.size() == 2) {
            options.adapter = args[1];
            if (options.adapter.empty()) {
                return std::nullopt;
            }
        }
    } else {
        return std::nullopt;
    }
    return options;
}

}  // namespace quorv::ipconfig
