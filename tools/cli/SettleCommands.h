#pragma once

#include "cli/QicCommand.h"

namespace quorv::cli {

// qic confirm [ID|INTERFACE]: keeps a change a safe apply left pending, from any shell of
// the user who applied it (or root). With one change pending no operand is needed; with
// several, they are listed on out ("ID<TAB>INTERFACE<TAB>SECONDS") and the exit is 2.
class ConfirmCommand : public Command {
  public:
    ConfirmCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

// qic rollback [ID|INTERFACE]: restores the settings before such a change now, and says on
// out what came back; chosen as confirm chooses.
class RollbackCommand : public Command {
  public:
    RollbackCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

}  // namespace quorv::cli
