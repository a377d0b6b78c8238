#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/QicCommand.h"

namespace quorv::cli {

// This machine's connection names, or nothing when this qic cannot read them.
std::optional<std::vector<std::string>> MachineAdapters();

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
