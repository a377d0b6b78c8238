#include "netsh/Script.h"

#include <strings.h>
#include <algorithm>
#include <cctype>

#include "system/CommandLine.h"

namespace quorv::netsh {

Phase PhaseOf(Action action) {
    switch (action) {
        case Action::SetAddressDhcp:
        case Action::SetAddressStatic:
        case Action::AddAddress:
            return Phase::Address;
        case Action::SetGateway:
            return Phase::Gateway;
        case Action::SetDnsDhcp:
        case Action::SetDnsStatic:
        case Action::AddDns:
            break;
    }
    return Phase::Dns;
}

std::vector<ScriptLine> ParseScript(std::string_view text) {
    std::vector<ScriptLine> lines;
    int number = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') {
            continue;
        }
        ScriptLine parsed;
        parsed.number = number;
        // The Windows rules, with a word in front so that the first real word gets them too.
        std::vector<std::string> args = platform::SplitCommandLine("netsh " + std::string(line));
        args.erase(args.begin());
        if (!args.empty() && strcasecmp(args[0].c_str(), "netsh") == 0) {
            args.erase(args.begin());
        }
        try {
            parsed.command = ParseCommand(args);
        } catch (const NetshError& e) {
            parsed.error = e.what();
        }
        lines.push_back(std::move(parsed));
    }
    return lines;
}

ScriptReport::ScriptReport(const std::vector<ScriptLine>& lines, std::FILE* out) : out_(out) {
    for (const ScriptLine& line : lines) {
        Phase phase = line.error.empty() ? PhaseOf(line.command.action) : Phase::Address;
        phaseOf_.emplace_back(line.number, phase);
        ++open_[int(phase)];
    }
}

void ScriptReport::Print(const std::string& text) {
    std::fputs((text + "\n").c_str(), out_);
    std::fflush(out_);
}

void ScriptReport::Finished(int number) {
    auto it = std::find_if(phaseOf_.begin(), phaseOf_.end(),
                           [&](const auto& entry) { return entry.first == number; });
    if (it != phaseOf_.end()) {
        --open_[int(it->second)];
        phaseOf_.erase(it);
    }
    // Phases are reported in order, each once every line up to it has finished.
    int done = reported_;
    while (done < kPhases && open_[done] == 0) {
        ++done;
    }
    if (done > reported_) {
        Shown(Phase(done - 1));
    }
}

void ScriptReport::Shown(Phase phase) {
    static const char* const kNames[kPhases] = {"address", "gateway", "dns"};
    int last = int(phase);
    // Phases after it that have no lines left are done with it.
    while (last + 1 < kPhases && open_[last + 1] == 0) {
        ++last;
    }
    for (; reported_ <= last; ++reported_) {
        Print(std::string("done: ") + kNames[reported_]);
    }
}

void ScriptReport::Ok(int number) {
    Print("line " + std::to_string(number) + ": ok");
    Finished(number);
}

void ScriptReport::Failed(int number, const std::string& reason) {
    allOk_ = false;
    std::string oneLine = reason;
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    Print("line " + std::to_string(number) + ": failed: " + oneLine);
    Finished(number);
}

void ScriptReport::NoLease(int number) {
    allOk_ = false;
    Print("line " + std::to_string(number) + ": no lease");
    Finished(number);
}

void ScriptReport::NotRun(int number, int failedNumber) {
    allOk_ = false;
    Print("line " + std::to_string(number) + ": not run: line " + std::to_string(failedNumber) +
          " failed");
    Finished(number);
}

}  // namespace quorv::netsh
