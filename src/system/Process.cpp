#include "system/Process.h"

#include <utility>

#include "system/ProgramFolder.h"
#include "system/ProgramLookup.h"
#include "system/Subprocess.h"

namespace quorv::platform {

FoundCommand FindCommand(std::vector<std::string> args, const LaunchOptions& options) {
    FoundCommand found;
    if (args.empty() || args[0].empty()) {
        found.error = "empty command line";
        return found;
    }
    const std::string folder =
        options.programFolder.empty() ? ProgramFolder() : options.programFolder;
    std::string path = FindProgram(args[0], folder);
    if (path.empty()) {
        found.error = "program not found: " + args[0];
        return found;
    }
    args[0] = std::move(path);
    found.args = std::move(args);
    return found;
}

RunOutput RunAndWaitCaptured(const std::vector<std::string>& args, const LaunchOptions& options,
                             const WaitOptions& wait) {
    RunOutput out;
    FoundCommand command = FindCommand(args, options);
    if (!command.error.empty()) {
        out.startError = command.error;
        return out;
    }
    out.program = command.args[0];

    SpawnRequest request{std::move(command.args)};
    request.keepBytes = kCaptureLimit;
    request.input = wait.input;
    if (wait.capture != Capture::Nothing) {
        request.output = Sink::Capture;
        request.errors = wait.capture == Capture::Apart ? Sink::Capture : Sink::JoinStdout;
    }
    Subprocess child(request);
    if (!child.Started()) {
        out.startError = child.StartError();
        return out;
    }
    const auto until = wait.timeoutMs < 0
                           ? Subprocess::Clock::time_point::max()
                           : Subprocess::Clock::now() + std::chrono::milliseconds(wait.timeoutMs);
    size_t handed = 0;  // bytes of stdout given to onOutputLine
    auto handLines = [&] {
        const std::string& text = child.Output();
        for (size_t end; (end = text.find('\n', handed)) != std::string::npos; handed = end + 1) {
            wait.onOutputLine(text.substr(handed, end - handed));
        }
        return false;
    };
    std::function<bool()> enough;
    if (wait.onOutputLine) {
        enough = handLines;
    }
    if (!child.WaitUntil(until, enough)) {
        child.Kill();
    }
    child.TakeAvailable();
    if (wait.onOutputLine) {
        handLines();
    }
    out.exitCode = child.ExitCode();
    out.standardOutput = child.Output();
    out.standardError = child.Errors();
    return out;
}

int RunAndWait(const std::vector<std::string>& args, const LaunchOptions& options,
               const WaitOptions& wait) {
    return RunAndWaitCaptured(args, options, wait).exitCode;
}

}  // namespace quorv::platform
