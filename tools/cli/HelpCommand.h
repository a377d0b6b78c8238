#pragma once

#include <string>
#include <vector>

#include "cli/QicCommand.h"

namespace quorv::cli {

// qic help [COMMAND]: the usage, or what COMMAND's operands and options mean. Both are made
// from the commands' tables, so a new option shows up in them by itself.
class HelpCommand : public Command {
  public:
    // `commands` is every command, this one included; it must outlive this one.
    explicit HelpCommand(const std::vector<const Command*>& commands);

    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;

    // What `qic` alone prints: each command's synopsis and summary.
    std::string Usage() const;

    // The command of that name; nullptr for none.
    const Command* Find(const std::string& name) const;

  private:
    const std::vector<const Command*>& commands_;
};

}  // namespace quorv::cli
