#pragma once

#include "cli/QicCommand.h"

namespace quorv::cli {

// qic capture NAME --interface IFACE: a new profile holding the interface's settings as they
// are now (and the default printer), stored as add stores one and refused where add refuses.
class CaptureCommand : public Command {
  public:
    CaptureCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;

  protected:
    void CheckOptions(const Invocation& inv) const override;
};

}  // namespace quorv::cli
