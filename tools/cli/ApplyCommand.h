#pragma once

#include "cli/QicCommand.h"

namespace quorv::cli {

// qic apply NAME [--dry-run]: the window's apply run (netsh, script lines, printer) with
// progress on err; exit 1 and the failed steps when any failed. --dry-run only prints
// what would run.
class ApplyCommand : public Command {
  public:
    ApplyCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

}  // namespace quorv::cli
