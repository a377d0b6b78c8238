// How SystemServices gets administrator rights for netsh: pkexec, started directly.
#include <climits>
#include <cstdlib>

#include "core/ApplyRun.h"
#include "system/Process.h"
#include "system/ProgramFolder.h"
#include "system/ProgramLookup.h"

namespace quorv::apply {

namespace {

// pkexec's own statuses: the prompt was dismissed, or no authorisation (which covers a
// missing agent and a refusing rule).
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

std::string Refusal(const platform::RunOutput& run) {
    if (run.exitCode == kPkexecDismissed) {
        return "the password prompt was cancelled";
    }
    // "No authentication agent found", or no terminal for pkexec's own textual agent.
    if (run.standardError.find("authentication agent") != std::string::npos) {
        return "no authentication agent is running in this session to ask for the password "
               "(start the desktop's polkit agent, or run the program as root)";
    }
    return "the system's policy does not allow this user to change the network";
}

}  // namespace

ElevatedOutcome SystemServices::RunAndWaitElevated(const NetshCommand& script,
                                                   const OutputLine& onLine) {
    ElevatedOutcome outcome;
    const std::vector<std::string>& args = script.args;
    const std::string folder = programFolder_.empty() ? platform::ProgramFolder() : programFolder_;
    const std::string program =
        args.empty() ? std::string() : RealPath(platform::FindProgram(args[0], folder));
    // Nothing but the program folder's own netsh is ever run as root.
    if (program.empty() || program != RealPath(folder + "netsh")) {
        outcome.notAuthorized = "only netsh from the program folder is run with them";
        return outcome;
    }
    const std::string pkexec = platform::FindInPath("pkexec");
    if (pkexec.empty()) {
        outcome.notAuthorized = "pkexec is not installed";
        return outcome;
    }
    std::vector<std::string> elevated{pkexec, program};
    elevated.insert(elevated.end(), args.begin() + 1, args.end());
    platform::WaitOptions wait;
    wait.input = script.input;
    wait.onOutputLine = onLine;
    const platform::RunOutput run = platform::RunAndWaitCaptured(elevated, {folder}, wait);
    if (!run.Started()) {
        outcome.notAuthorized = "pkexec could not be started: " + run.startError;
        return outcome;
    }
    outcome.command.exitCode = run.exitCode;
    if (run.exitCode == kPkexecDismissed || run.exitCode == kPkexecNotAuthorized) {
        outcome.notAuthorized = Refusal(run);
        return outcome;
    }
    outcome.command.errorOutput =
        run.standardError.empty() ? run.standardOutput : run.standardError;
    return outcome;
}

}  // namespace quorv::apply
