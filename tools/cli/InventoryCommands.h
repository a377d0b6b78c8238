#pragma once

#include "cli/QicCommand.h"

namespace quorv::cli {

// qic interfaces: each connection name and its adapter, tab-separated.
class InterfacesCommand : public Command {
  public:
    InterfacesCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

// qic printers: each printer and its caption, the default one marked.
class PrintersCommand : public Command {
  public:
    PrintersCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

}  // namespace quorv::cli
