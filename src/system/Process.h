#pragma once

#include <string>

namespace quorv::platform {

// Where bare program names are looked up first; empty means ProgramFolder().
struct LaunchOptions {
    std::string programFolder;
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

// Runs one command line as a hidden child process and waits until it has ended. The
// line is split with the Windows rules (no shell sees it); the child gets /dev/null as
// stdin and pipes for stdout and stderr. While waiting on the GUI thread, only
// non-input events are serviced, so windows repaint and animations run but no click
// or key press gets through.
RunOutput RunAndWaitCaptured(const std::string& commandLine, const LaunchOptions& options = {});

// The exit code of the command line, or -1 when it could not be started.
int RunAndWait(const std::string& commandLine, const LaunchOptions& options = {});

// Starts a command line without waiting for it. Hidden: detached, stdio on /dev/null.
// Shown: detached inside the desktop's terminal emulator; without a display or a
// terminal emulator it runs hidden. Returns whether the program was started.
bool WinExec(const std::string& commandLine, bool shown, const LaunchOptions& options = {});

}  // namespace quorv::platform
