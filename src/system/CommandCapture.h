#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "system/Process.h"

namespace quorv::apply {

struct CaptureLimits {
    int passes = 151;               // about 15 seconds in all
    int passMs = 100;               // one wait for the command to end
    size_t maxBytes = 1024 * 1024;  // output kept; the rest is read and dropped
};

struct CapturedOutput {
    bool started = false;
    bool ended = false;  // the command ended within the passes and has been reaped
    pid_t pid = -1;
    int passes = 0;
    std::string text;  // valid UTF-8
};

// Runs a command hidden (stdin /dev/null, stderr dropped; args[0] looked up as
// FindCommand does) and collects its standard output until it ends or the passes run
// out; `betweenPasses` runs after each pass so that the caller's windows stay alive. A
// command still running at the end is left alone: its pipe is closed and it is reaped
// whenever it ends.
CapturedOutput CaptureCommand(const std::vector<std::string>& args,
                              const std::function<void()>& betweenPasses,
                              const CaptureLimits& limits = {},
                              const platform::LaunchOptions& options = {});

// Captured bytes as text: up to the first NUL, without a character that the size limit
// cut in two (cutAtLimit), every invalid byte sequence shown as U+FFFD.
std::string CapturedText(std::string_view bytes, bool cutAtLimit);

}  // namespace quorv::apply
