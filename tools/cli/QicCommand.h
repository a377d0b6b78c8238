#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Invocation.h"

class QCommandLineParser;

namespace quorv::cli {

// What a command takes: one table, from which both the check of a command line and the
// help are made, so the two cannot disagree.
struct CommandSpec {
    struct Operand {
        const char* name;  // as the help shows it: NAME, FILE
        const char* description;
        bool optional = false;  // only the last ones may be
    };
    const char* name;
    const char* summary;  // its line in qic's usage
    std::vector<Operand> operands;
    const char* missing;                    // "show needs <missing>" when operands are missing
    std::vector<std::string_view> options;  // names in the option table; --data and --help always
};

// One qic command, KeePassXC-style: the base checks and binds, the command runs.
class Command {
  public:
    explicit Command(CommandSpec definition);
    virtual ~Command() = default;

    const CommandSpec& Definition() const { return definition_; }

    // The invocation a parsed command line gives this command (its first positional
    // argument is the command's name). A wrong number of operands, or an option of
    // another command, is a UsageError.
    Invocation Bind(const QCommandLineParser& parser) const;

    // {"show", "NAME", "[--json]"}: name, operands and options, each one piece that a
    // wrapped line keeps whole.
    std::vector<std::string> SynopsisParts() const;

    // What `qic help NAME` prints: the synopsis, the summary and every operand and option
    // described, as QCommandLineParser lays them out.
    std::string Help() const;

    // Runs the command: results on out, messages and progress on err; the exit status.
    virtual int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const = 0;

  protected:
    // Checks across options, before anything is opened; throws UsageError.
    virtual void CheckOptions(const Invocation&) const {}

  private:
    bool Takes(std::string_view option) const;

    CommandSpec definition_;
};

}  // namespace quorv::cli
