#pragma once

#include <functional>
#include <string>
#include <vector>

#include "apply/Profile.h"

namespace quorv::apply {

// Progress texts of the run, by message key; the built-in texts until a language file
// replaces them.
struct ProgressTexts {
    std::string msgChangeIP = "IP 설정 중...";
    std::string msgChangeGateway = "Gateway 설정 중...";
    std::string msgChangeDNS = "DNS 설정 중...";
    std::string msgChangeScript = "스크립트 실행 중...";
    std::string msgChangePrinter = "기본 프린터 설정 중...";
};

// What one waited-for command came to.
struct CommandOutcome {
    int exitCode = -1;        // -1: it could not be started
    std::string startError;   // why it could not be started
    std::string errorOutput;  // its stderr, or its stdout when stderr was empty
};

// The services a run needs from its surroundings.
class ApplyServices {
  public:
    virtual ~ApplyServices() = default;
    // Runs a command line hidden and waits for it.
    virtual CommandOutcome RunAndWait(const std::string& commandLine) = 0;
    // Starts a command line without waiting; false when it could not be started.
    virtual bool WinExec(const std::string& commandLine, bool shown) = 0;
    virtual bool SetDefaultPrinter(const std::string& printer) = 0;
};

// The real services: processes looked up in the program folder first, then PATH, and
// the CUPS default printer.
class SystemServices : public ApplyServices {
  public:
    // Empty: the folder of the running program.
    explicit SystemServices(std::string programFolder = {});
    CommandOutcome RunAndWait(const std::string& commandLine) override;
    bool WinExec(const std::string& commandLine, bool shown) override;
    bool SetDefaultPrinter(const std::string& printer) override;

  private:
    std::string programFolder_;
};

// One step of the run that did not do its work.
struct ApplyFailure {
    enum class Kind { NotStarted, ExitCode, PrinterNotSet };
    Kind kind = Kind::NotStarted;
    std::string commandLine;  // the command, script line or printer name
    int exitCode = -1;
    std::string reason;                   // NotStarted: why
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
// step runs whatever happened to the one before; what failed is collected.
class ApplyRun {
  public:
    ApplyRun(ApplyServices& services, ProgressTexts texts, ProgressCallback progress);

    ApplyResult Run(const Profile& profile, bool showScriptWindow);

  private:
    void Progress(const std::string& text);
    void RunCommand(const std::string& commandLine, ApplyResult& result);

    ApplyServices& services_;
    ProgressTexts texts_;
    ProgressCallback progress_;
};

}  // namespace quorv::apply
