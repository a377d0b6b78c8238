#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/MessageDefaults.h"
#include "core/NetshCommands.h"
#include "core/Profile.h"

namespace quorv::apply {

// Progress texts of the run, and why administrator rights could not be asked for, by
// message key; the built-in texts until a language file replaces them.
struct ProgressTexts {
    std::string msgChangeIP = "IP 설정 중...";
    std::string msgChangeGateway = "Gateway 설정 중...";
    std::string msgChangeDNS = "DNS 설정 중...";
    std::string msgChangeScript = "스크립트 실행 중...";
    std::string msgChangePrinter = "기본 프린터 설정 중...";
    std::string msgNoPolkitDaemon = core::BuiltInText("msgNoPolkitDaemon");
    std::string msgNoPolkitAgent = core::BuiltInText("msgNoPolkitAgent");
};

// What one waited-for command came to.
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

// The services a run needs from its surroundings.
class ApplyServices {
  public:
    virtual ~ApplyServices() = default;
    // Runs a netsh command hidden and waits for it.
    virtual CommandOutcome RunAndWait(const NetshCommand& command) = 0;
    // Starts a script line without waiting; false when it could not be started.
    virtual bool WinExec(const std::string& commandLine, bool shown) = 0;
    virtual bool SetDefaultPrinter(const std::string& printer) = 0;
    // Runs a netsh command that ended with platform::kExitNeedsPrivilege again with
    // administrator rights, and waits. Without a way to get them: notAuthorized says why.
    virtual ElevatedOutcome RunAndWaitElevated(const NetshCommand& command);
};

// The real services: processes looked up in the program folder first, then PATH, and
// the CUPS default printer.
class SystemServices : public ApplyServices {
  public:
    // Empty: the folder of the running program.
    explicit SystemServices(std::string programFolder = {});
    CommandOutcome RunAndWait(const NetshCommand& command) override;
    bool WinExec(const std::string& commandLine, bool shown) override;
    bool SetDefaultPrinter(const std::string& printer) override;
    // Starts pkexec directly, with the program folder's netsh by its absolute path (the
    // path the polkit action names) and the same arguments. polkit keeps the
    // authorisation for this process, so one apply asks for the password once.
    ElevatedOutcome RunAndWaitElevated(const NetshCommand& command) override;

  private:
    std::string programFolder_;
};

// One step of the run that did not do its work.
struct ApplyFailure {
    enum class Kind { NotStarted, ExitCode, PrinterNotSet, NotAuthorized };
    Kind kind = Kind::NotStarted;
    std::string commandLine;  // the command, script line or printer name
    int exitCode = -1;
    std::string reason;                   // NotStarted, NotAuthorized: why
    std::vector<std::string> errorLines;  // ExitCode: the first lines of its error output
};

struct ApplyResult {
    std::vector<ApplyFailure> failures;
    bool Succeeded() const { return failures.empty(); }
};

// At most this many lines of a failed command's error output are kept.
inline constexpr size_t kErrorLinesKept = 3;

// The text listing a run's failures, for the warning box and the command line.
std::string FailureSummary(const ApplyResult& result);

using ProgressCallback = std::function<void(const std::string& text)>;

// The apply run: address commands, gateway command, DNS commands (each waited for),
// then the script lines (started, never waited for), then the default printer. Every
// step runs whatever happened to the one before; what failed is collected. Only a netsh
// command that asks for administrator rights is run again with them; script lines and
// the printer step always run as the user.
class ApplyRun {
  public:
    ApplyRun(ApplyServices& services, ProgressTexts texts, ProgressCallback progress);

    ApplyResult Run(const Profile& profile, bool showScriptWindow);

  private:
    void Progress(const std::string& text);
    void RunCommand(const NetshCommand& command, ApplyResult& result);
    ElevatedOutcome RunWithRights(const NetshCommand& command);
    ElevatedOutcome RunElevated(const NetshCommand& command);

    // Asked at most once per run: after a grant every netsh command goes through the
    // elevated way, after a refusal none asks again.
    enum class Elevation { NotAsked, Granted, Refused };
    Elevation elevation_ = Elevation::NotAsked;
    std::string refusal_;
    ApplyServices& services_;
    ProgressTexts texts_;
    ProgressCallback progress_;
};

}  // namespace quorv::apply
