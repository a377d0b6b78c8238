#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quorv::platform {

// How a waited-for command's stdout and stderr are kept.
enum class Capture {
    Apart,     // each in its own buffer
    Together,  // one buffer, in the order written (a tool's message beside its output)
    Nothing,   // both to /dev/null: a daemon the command leaves behind keeps no pipe of ours
};

// Where a bare program name is looked for first; empty means ProgramFolder().
struct LaunchOptions {
    std::string programFolder;
};

struct WaitOptions {
    Capture capture = Capture::Apart;
    int timeoutMs = -1;      // killed when the time is up; < 0 waits without bound
    std::string input = {};  // the command's standard input; empty: /dev/null
    // Given each complete line of captured stdout (without its line break) as it comes, so
    // that a caller can show the command's progress while it runs.
    std::function<void(const std::string& line)> onOutputLine = {};
};

struct RunOutput {
    int exitCode = -1;       // -1: the program could not be started; 128+n: killed by signal n
    std::string program;     // the file that was started (empty when none was found)
    std::string startError;  // why it could not be started
    std::string standardOutput;
    std::string standardError;

    bool Started() const { return startError.empty(); }
};

// Each captured stream keeps at most this many bytes (the rest is read and dropped).
inline constexpr size_t kCaptureLimit = 64 * 1024;

// A command made ready to start: args[0] replaced by the file found for it. A name
// containing '/' is taken as given; a bare one is looked for in the program folder, then
// on PATH (see FindProgram).
struct FoundCommand {
    std::vector<std::string> args;
    std::string error;  // why there is nothing to start; empty when args can be started
};
FoundCommand FindCommand(std::vector<std::string> args, const LaunchOptions& options);

// Runs a command the program built itself, argument by argument (no command line, no
// shell), as a hidden child, and waits until it has ended. While waiting, the thread's
// WhileWaiting work is done, so the window that started it repaints.
RunOutput RunAndWaitCaptured(const std::vector<std::string>& args,
                             const LaunchOptions& options = {}, const WaitOptions& wait = {});

// The exit code of the command, or -1 when it could not be started.
int RunAndWait(const std::vector<std::string>& args, const LaunchOptions& options = {},
               const WaitOptions& wait = {});

}  // namespace quorv::platform
