#pragma once

#include "cli/QicCommand.h"

namespace quorv::cli {

// qic apply NAME [--dry-run] [--confirm[=SECONDS]]: the window's apply run (netsh, script
// lines, printer) with progress on err; exit 1 and the failed steps when any failed. --dry-run
// only prints what would run. --confirm takes a snapshot first and asks on the terminal
// whether to keep the result; without a terminal it is refused (exit 2) before anything
// changes, and anything but "y" restores (exit 1, what came back on out). A change an earlier
// --confirm left pending is settled by asking before any apply.
class ApplyCommand : public Command {
  public:
    ApplyCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

}  // namespace quorv::cli
