#include "netsh/ScriptRun.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>

#include "netsh/Apply.h"
#include "netsh/Backend.h"
#include "netsh/NmApply.h"
#include "netsh/Privilege.h"
#include "netsh/SafeApply.h"
#include "netsh/Script.h"

namespace quorv::netsh {
namespace {

// Far beyond any profile; a script is input, never trusted for its size.
constexpr std::size_t kMaxScriptBytes = 1 << 20;

std::string ReadScript(const std::string& source) {
    // With administrator rights a named file would be read with them: only what the caller
    // itself could hand over on standard input is taken.
    if (source != "-" && (std::getenv("PKEXEC_UID") != nullptr || getuid() != geteuid())) {
        throw NetshError(
            "With administrator rights netsh reads its script from standard "
            "input only (netsh -f -).");
    }
    std::ifstream file;
    if (source != "-") {
        file.open(source, std::ios::binary);
        if (!file) {
            throw NetshError("The script file \"" + Printable(source) + "\" cannot be read.");
        }
    }
    std::istream& in = source == "-" ? std::cin : file;
    std::string text;
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, std::size_t(in.gcount()));
        if (text.size() > kMaxScriptBytes) {
            throw NetshError("The script is larger than 1 MB.");
        }
    }
    return text;
}

struct Group {
    std::vector<const ScriptLine*> lines;
    BackendChoice backend;
};

std::vector<Group> Grouped(const std::vector<ScriptLine>& lines) {
    std::vector<Group> groups;
    for (const ScriptLine& line : lines) {
        if (groups.empty() || groups.back().lines.front()->command.name != line.command.name) {
            groups.emplace_back();
        }
        groups.back().lines.push_back(&line);
    }
    return groups;
}

// Carries out one group; false when a line of it did not come to its end.
bool RunGroup(Group& group, ScriptReport& report) {
    std::vector<Command> commands;
    for (const ScriptLine* line : group.lines) {
        commands.push_back(line->command);
    }
    std::vector<bool> finished(commands.size(), false);
    auto done = [&](std::size_t i) {
        finished[i] = true;
        report.Ok(group.lines[i]->number);
    };
    auto rest = [&](const std::function<void(const ScriptLine&)>& each) {
        for (std::size_t i = 0; i < commands.size(); ++i) {
            if (!finished[i]) {
                finished[i] = true;
                each(*group.lines[i]);
            }
        }
    };
    try {
        if (group.backend.networkManager) {
            ExecuteThroughNetworkManager(*group.backend.bus, group.backend.device,
                                         group.backend.properties, commands,
                                         [&](Phase phase) { report.Shown(phase); });
            rest([&](const ScriptLine& line) { report.Ok(line.number); });
        } else {
            ExecuteSteps(commands, done, true);
        }
        return true;
    } catch (const StepError& e) {
        const int failed = group.lines[e.Index()]->number;
        rest([&](const ScriptLine& line) {
            if (line.number == failed) {
                report.Failed(failed, e.what());
            } else {
                report.NotRun(line.number, failed);
            }
        });
    } catch (const NoLease&) {
        // The settings are in place; the lease is what is missing.
        rest([&](const ScriptLine& line) {
            if (line.command.action == Action::SetAddressDhcp) {
                report.NoLease(line.number);
            } else {
                report.Ok(line.number);
            }
        });
    } catch (const std::exception& e) {
        rest([&](const ScriptLine& line) { report.Failed(line.number, e.what()); });
    }
    return false;
}

}  // namespace

int RunScript(const std::string& source, bool systemBus, int keepWithin) {
    std::vector<ScriptLine> lines;
    try {
        lines = ParseScript(ReadScript(source));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    ScriptReport report(lines, stdout);
    // A script with a line netsh cannot read changes nothing.
    for (const ScriptLine& bad : lines) {
        if (bad.error.empty()) {
            continue;
        }
        for (const ScriptLine& line : lines) {
            if (line.error.empty()) {
                report.NotRun(line.number, bad.number);
            } else {
                report.Failed(line.number, line.error);
            }
        }
        return 1;
    }
    std::vector<Group> groups = Grouped(lines);
    try {
        bool netlink = false;
        for (Group& group : groups) {
            if (systemBus) {
                group.backend = ChooseBackend(group.lines.front()->command.name);
            }
            netlink = netlink || !group.backend.networkManager;
        }
        // Asked before the first change, so that the caller may run the whole script again
        // with the right.
        if (netlink && !HasNetAdmin()) {
            throw NeedsPrivilege();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return ExitStatusFor(e);
    }
    std::unique_ptr<Snapshot> snapshot;
    if (keepWithin > 0 && !groups.empty()) {
        const std::string& device = groups.front().lines.front()->command.name;
        for (const Group& group : groups) {
            if (group.lines.front()->command.name != device) {
                // One answer keeps or restores one device.
                std::printf("snapshot: failed: the script changes more than one interface\n");
                return 1;
            }
        }
        int status = 1;
        snapshot = SnapshotBeforeChange(groups.front().backend, device, keepWithin, status);
        if (!snapshot) {
            return status;
        }
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (RunGroup(groups[g], report)) {
            continue;
        }
        const int failed = groups[g].lines.front()->number;
        for (std::size_t later = g + 1; later < groups.size(); ++later) {
            for (const ScriptLine* line : groups[later].lines) {
                report.NotRun(line->number, failed);
            }
        }
        break;
    }
    int status = report.AllOk() ? 0 : 1;
    // Also after a failed line: what the lines before it changed waits for its answer too.
    if (snapshot && !LeaveForAnswer(std::move(snapshot), groups.front().lines.front()->command.name,
                                    keepWithin)) {
        status = 1;
    }
    return status;
}

}  // namespace quorv::netsh
