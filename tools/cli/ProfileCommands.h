#pragma once

#include "cli/QicCommand.h"

namespace quorv::cli {

// qic list [--json]: the profiles in the window's order, one line or object each.
class ListCommand : public Command {
  public:
    ListCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

// qic show NAME [--json]: every column of one profile.
class ShowCommand : public Command {
  public:
    ShowCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

// qic add NAME ...: a new profile, refused (exit 2, nothing written) when netsh would refuse
// one of its values or the name is taken.
class AddCommand : public Command {
  public:
    AddCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

// qic delete NAME.
class DeleteCommand : public Command {
  public:
    DeleteCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

// The options add and edit take, in the order their help lists them.
std::vector<std::string_view> ProfileOptionNames();

}  // namespace quorv::cli
