#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "netsh/Command.h"

namespace quorv::netsh {

// The three parts of a profile, in the order the apply run shows them.
enum class Phase { Address = 0, Gateway = 1, Dns = 2 };
inline constexpr int kPhases = 3;
Phase PhaseOf(Action action);

// One command line of a script (netsh -f).
struct ScriptLine {
    int number = 0;     // in the file, from 1
    Command command;    // valid when error is empty
    std::string error;  // why the line was refused before anything ran
};

// The lines of a script, like the Windows tool's script mode: one command per line,
// without "netsh" or with it; blank lines and lines starting with '#' are skipped. Every line
// is parsed before the first one runs.
std::vector<ScriptLine> ParseScript(std::string_view text);

// A step that failed for a reason of its own; the steps after it are not run.
class StepError : public NetshError {
  public:
    StepError(std::size_t index, const std::string& message) : NetshError(message), index_(index) {}
    std::size_t Index() const { return index_; }

  private:
    std::size_t index_;
};

// An automatic address line whose device holds no lease after the wait.
class NoLease : public NetshError {
  public:
    using NetshError::NetshError;
};

// What netsh tells the caller of a script on stdout, one flushed line per event, in a form
// the apply run reads:
//   line N: ok | line N: failed: REASON | line N: not run: line K failed
//   line N: no lease    (a DHCP address line after the wait without a lease)
//   done: address | done: gateway | done: dns
// A phase is done once every line of it and of the phases before it is done; phases without
// lines are done with the one before them.
class ScriptReport {
  public:
    ScriptReport(const std::vector<ScriptLine>& lines, std::FILE* out);

    void Ok(int number);
    void Failed(int number, const std::string& reason);
    void NoLease(int number);
    void NotRun(int number, int failedNumber);
    // The device shows the settings of `phase` and of those before it.
    void Shown(Phase phase);

    bool AllOk() const { return allOk_; }

  private:
    void Finished(int number);
    void Print(const std::string& text);

    std::FILE* out_;
    bool allOk_ = true;
    int reported_ = 0;                                      // phases reported so far
    std::vector<int> open_ = std::vector<int>(kPhases, 0);  // unfinished lines per phase
    std::vector<std::pair<int, Phase>> phaseOf_;            // line number -> phase
};

}  // namespace quorv::netsh
