#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/ConfirmApply.h"
#include "core/MessageDefaults.h"
#include "core/NetshCommands.h"
#include "core/Profile.h"

namespace quorv::apply {

// The words of the failure list, by message key; %1 stands for the value. English until a
// language file replaces them.
struct FailureTexts {
    std::string msgApplyIncomplete = "The profile was not applied completely. These steps failed:";
    std::string msgNotStarted = "could not be started";
    std::string msgNotStartedBecause = "could not be started: %1";
    std::string msgExitCode = "ended with exit code %1";
    std::string msgNotAuthorized = "needs administrator rights, which were not granted: %1";
    std::string msgNotRun = "was not run, since this command failed before it: %1";
    std::string msgNoDhcpLease = "no address was obtained from a DHCP server on %1 yet";
    std::string msgPrinterNotSet = "The printer \"%1\" could not be made the default printer.";
    std::string msgSnapshotFailed =
        "No snapshot of the present settings could be taken, so nothing was changed: %1";
    std::string msgNoSnapshot =
        "The settings were changed, but netsh kept no snapshot to go back to";
};

// Progress texts of the run, and why administrator rights could not be asked for, by
// message key; the built-in texts until a language file
// replaces them.
struct ProgressTexts {
    std::string msgChangeIP = "IP 설정 중...";
    std::string msgChangeGateway = "Gateway 설정 중...";
    std::string msgChangeDNS = "DNS 설정 중...";
    std::string msgChangeScript = "스크립트 실행 중...";
    std::string msgChangePrinter = "기본 프린터 설정 중...";
    std::string msgNoPolkitDaemon = core::BuiltInText("msgNoPolkitDaemon");
    std::string msgNoPolkitAgent = core::BuiltInText("msgNoPolkitAgent");
    FailureTexts failures;  // the words of the list shown when something failed
};

// What one waited-for netsh process came to.
struct CommandOutcome {
    int exitCode = -1;        // -1: it could not be started
    std::string startError;   // why it could not be started
    std::string errorOutput;  // its stderr, or its stdout when stderr was empty
};

// Why nobody could be asked for administrator rights.
enum class Unasked {
    No,
    NoAuthority,  // no polkit daemon answered
    NoAgent,      // no authentication agent to ask the user
};

// A command run again with administrator rights.
struct ElevatedOutcome {
    CommandOutcome command;
    std::string notAuthorized;      // why the rights were not granted; empty: they were
    Unasked unasked = Unasked::No;  // set: the run words notAuthorized in the user's language
};

// Gets each line netsh writes on stdout, as it comes.
using OutputLine = std::function<void(const std::string& line)>;

// The services a run needs from its surroundings.
class ApplyServices {
  public:
    virtual ~ApplyServices() = default;
    // Runs netsh hidden with the script on its standard input (netsh -f -) and waits for it.
    virtual CommandOutcome RunAndWait(const NetshCommand& script, const OutputLine& onLine) = 0;
    // Starts a script line without waiting; false when it could not be started.
    virtual bool WinExec(const std::string& commandLine, bool shown) = 0;
    virtual bool SetDefaultPrinter(const std::string& printer) = 0;
    // Runs a netsh that ended with platform::kExitNeedsPrivilege again with administrator
    // rights, and waits. Without a way to get them: notAuthorized says why.
    virtual ElevatedOutcome RunAndWaitElevated(const NetshCommand& script,
                                               const OutputLine& onLine);

    // What a safe apply needs besides. The defaults know nothing and can settle nothing.
    // The user's default printer; nothing when it cannot be read.
    virtual std::optional<std::string> DefaultPrinter() { return std::nullopt; }
    // The gateway and DNS servers in force on an interface now.
    virtual std::vector<platform::ReachTarget> LiveTargets(const std::string& interface);
    virtual std::vector<platform::ReachResult> CheckReachable(
        const std::vector<platform::ReachTarget>& targets, std::chrono::milliseconds timeout);
    virtual std::vector<platform::PendingChange> ListPending() { return {}; }
    virtual platform::PendingAnswer KeepPending(const std::string& id);
    virtual platform::PendingAnswer RestorePending(const std::string& id);
};

// The real services: processes looked up in the program folder first, then PATH, and
// the CUPS default printer.
class SystemServices : public ApplyServices {
  public:
    // Empty: the folder of the running program.
    explicit SystemServices(std::string programFolder = {});
    CommandOutcome RunAndWait(const NetshCommand& script, const OutputLine& onLine) override;
    bool WinExec(const std::string& commandLine, bool shown) override;
    bool SetDefaultPrinter(const std::string& printer) override;
    std::optional<std::string> DefaultPrinter() override;
    // Starts pkexec directly, with the program folder's netsh by its absolute path (the
    // path the polkit action names), the same arguments and the same input. The whole profile
    // is one netsh process, so one apply asks for the password once.
    ElevatedOutcome RunAndWaitElevated(const NetshCommand& script,
                                       const OutputLine& onLine) override;

  private:
    std::string programFolder_;
};

// One step of the run that did not do its work.
struct ApplyFailure {
    enum class Kind {
        NotStarted,      // reason: why
        ExitCode,        // netsh refused the command; errorLines: its words
        PrinterNotSet,   //
        NotAuthorized,   // reason: why the rights were not granted
        NotRun,          // netsh left it undone; reason: the command that failed before it
        NoLease,         // in place, but no DHCP server gave an address yet; reason: interface
        SnapshotFailed,  // a safe apply changed nothing; reason: why
        NoSnapshot,      // netsh changed the settings without the snapshot it was asked for
    };
    Kind kind = Kind::NotStarted;
    std::string commandLine;  // the command, script line or printer name
    int exitCode = -1;
    std::string reason;
    std::vector<std::string> errorLines;  // ExitCode: the first lines of its error output
};

struct ApplyResult {
    std::vector<ApplyFailure> failures;
    // A safe apply that changed the settings: what waits to be kept or restored.
    std::optional<PendingApply> pending;
    bool Succeeded() const { return failures.empty(); }
};

// At most this many lines of a failed command's error output are kept.
inline constexpr size_t kErrorLinesKept = 3;

// The text listing a run's failures, for the warning box and the command line.
std::string FailureSummary(const ApplyResult& result, const FailureTexts& texts = {});

// Every text of a run beside its message key, so that the window and qic take the same keys
// from their language.
std::vector<std::pair<const char*, std::string*>> TextsByKey(ProgressTexts& texts);

using ProgressCallback = std::function<void(const std::string& text)>;

// The apply run: address commands, gateway command and DNS commands as one netsh script,
// one process that makes them one change of the connection and is waited for, then the
// script lines (started, never waited for), then the default printer. netsh reports each
// command and each finished part, which moves the progress text on. What failed is
// collected. Only a netsh that asks for administrator rights is run again with them, so one
// apply asks at most once; script lines and the printer step always run as the user.
class ApplyRun {
  public:
    ApplyRun(ApplyServices& services, ProgressTexts texts, ProgressCallback progress);

    // seconds > 0: a safe apply. netsh snapshots the settings first and restores them after
    // seconds plus the check's allowance unless told to keep them; a snapshot that cannot be
    // made stops the run before anything changes. The result's pending says what waits.
    void KeepWithin(int seconds) { keepSeconds_ = seconds; }

    ApplyResult Run(const Profile& profile, bool showScriptWindow);

  private:
    void Progress(const std::string& text);
    // False when the run must stop: a safe apply whose snapshot could not be made.
    bool RunNetsh(const std::vector<NetshCommand>& commands, ApplyResult& result);
    // The script through pkexec; why it could not even ask is said in the user's language.
    ElevatedOutcome RunElevated(const NetshCommand& script, const OutputLine& onLine);

    ApplyServices& services_;
    std::string profileInterface_;
    ProgressTexts texts_;
    ProgressCallback progress_;
    int keepSeconds_ = 0;
};

}  // namespace quorv::apply
