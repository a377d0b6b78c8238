#include "system/Terminal.h"

#include <cstdlib>

#include "system/ProgramLookup.h"

namespace quorv::platform {

namespace {

struct KnownTerminal {
    const char* name;
    const char* runOption;  // nullptr: the program follows the terminal's own options
};

// Only terminals that take the program and its arguments as separate arguments;
// those that want a single command string would hand it to a shell.
constexpr KnownTerminal kKnownTerminals[] = {
    {"gnome-terminal", "--"}, {"konsole", "-e"},    {"xfce4-terminal", "-x"},
    {"mate-terminal", "-x"},  {"terminator", "-x"}, {"alacritty", "-e"},
    {"kitty", nullptr},       {"foot", nullptr},    {"urxvt", "-e"},
    {"xterm", "-e"},
};

bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

bool HasDisplay() {
    return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY");
}

std::optional<std::vector<std::string>> TerminalPrefix() {
    // Debian's alternative and $TERMINAL both follow the xterm convention: -e program args.
    std::string path = FindInPath("x-terminal-emulator");
    if (!path.empty()) {
        return std::vector<std::string>{path, "-e"};
    }
    if (EnvSet("TERMINAL")) {
        path = FindInPath(std::getenv("TERMINAL"));
        if (!path.empty()) {
            return std::vector<std::string>{path, "-e"};
        }
    }
    for (const KnownTerminal& terminal : kKnownTerminals) {
        path = FindInPath(terminal.name);
        if (!path.empty()) {
            std::vector<std::string> prefix{path};
            if (terminal.runOption != nullptr) {
                prefix.push_back(terminal.runOption);
            }
            return prefix;
        }
    }
    return std::nullopt;
}

}  // namespace quorv::platform
