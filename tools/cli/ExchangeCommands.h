#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Invocation.h"
#include "cli/QicCommand.h"

namespace quorv::store {
class TStoreTable;
}

namespace quorv::cli {

// qic export FILE: writes every profile to FILE (".qic" appended as the window does),
// replacing it as a whole. Exit 1 with the reason when it cannot be written.
int Export(store::TStoreTable& profiles, const Invocation& inv, std::ostream& out,
           std::ostream& err);

// Who answers the conflicts of an import when no flag does.
struct TQuestioner {
    bool interactive = false;  // false: nobody can be asked
    std::function<bool(const std::string& question)> ask;
};

// qic import FILE [--yes|--no] [--map OLD=NEW]...: one line per section, "added",
// "replaced" or "kept" and the name, then each section left out with its reason, a count of
// each, and, when `adapters` (this machine's connection names) is given, the profiles whose
// connection is not among them. Without a flag each conflict is put to the questioner; when
// it cannot ask, the command refuses (exit 2) before anything is written. Exit 1 when a
// section was left out; a file that cannot be read is exit 1 too, before anything is written.
int Import(store::TStoreTable& profiles, const Invocation& inv, const TQuestioner& questioner,
           std::ostream& out, const std::optional<std::vector<std::string>>& adapters = {});

// Asks on stdin and `prompt` when stdin is a terminal; end of input answers no.
TQuestioner TerminalQuestioner(std::ostream& prompt);

// qic export FILE.
class ExportCommand : public Command {
  public:
    ExportCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

// qic import FILE [--yes | --no]; the questions go to err.
class ImportCommand : public Command {
  public:
    ImportCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;

  protected:
    void CheckOptions(const Invocation& inv) const override;
};

}  // namespace quorv::cli
