#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorv::apply {

// What netsh -f says of a script on stdout, line by line:
//   "line N: ok", "line N: failed: REASON", "line N: not run: line K failed",
//   "line N: no lease", and "done: address|gateway|dns" as the parts are in place; with
//   --keep-within, "pending: ID SECONDS" once the change waits to be kept, or
//   "snapshot: failed: REASON" when netsh changed nothing for want of a snapshot, or
//   "pending: failed: REASON" when it undid its change for want of a watchdog.
// Anything else (a netsh that prints something of its own) is passed over.
class NetshReport {
  public:
    enum class State { Unknown, Ok, Failed, NotRun, NoLease };
    struct Line {
        State state = State::Unknown;
        std::string reason;  // Failed
        int after = 0;       // NotRun: the script line that failed
    };

    explicit NetshReport(std::size_t lines) : lines_(lines) {}

    // Takes one line of netsh's output; the number of parts done so far (0 to 3).
    int Read(std::string_view text);

    // What was said of script line i + 1.
    const Line& Said(std::size_t i) const { return lines_.at(i); }

    // Empty until netsh said its change waits.
    const std::string& PendingId() const { return pendingId_; }
    int PendingSeconds() const { return pendingSeconds_; }
    // Empty unless netsh said it could not make a snapshot.
    const std::string& SnapshotFailure() const { return snapshotFailure_; }

  private:
    std::vector<Line> lines_;
    int phases_ = 0;
    std::string pendingId_;
    int pendingSeconds_ = 0;
    std::string snapshotFailure_;
};

}  // namespace quorv::apply
