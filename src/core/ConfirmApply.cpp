#include "core/ConfirmApply.h"

#include <algorithm>

#include "core/ApplyRun.h"
#include "core/CommaText.h"
#include "core/MessageDefaults.h"

namespace quorv::apply {

namespace {

using Clock = std::chrono::steady_clock;

// %1 and %2 filled in one pass, so that a value holding "%2" stays as it is.
std::string Filled(const std::string& text, const std::string& first,
                   const std::string& second = {}) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
            out += text[i + 1] == '1' ? first : second;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text + ' ') {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (!word.empty()) {
                words.push_back(std::move(word));
            }
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

// Half a second short of the watchdog's deadline, so that a countdown that runs out is
// answered by our restore rather than raced by the watchdog's.
int SecondsBefore(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - Clock::now() - std::chrono::milliseconds(500));
    return left.count() <= 0 ? 0 : int(left.count() / 1000);
}

SafeOutcome Settle(ApplyServices& services, const PendingApply& pending, KeepAnswer answer) {
    SafeOutcome outcome;
    outcome.interface = pending.interface;
    if (answer == KeepAnswer::Keep) {
        const platform::PendingAnswer kept = services.KeepPending(pending.id);
        if (!kept.done) {
            outcome.kind = SafeOutcome::Kind::KeepFailed;
            outcome.error = kept.error.empty() ? "no answer" : kept.error;
        }
        return outcome;
    }
    const platform::PendingAnswer restored = services.RestorePending(pending.id);
    if (restored.done) {
        outcome.kind = SafeOutcome::Kind::Restored;
        outcome.restored = Words(restored.restored);
    } else {
        outcome.kind = SafeOutcome::Kind::RestoreFailed;
        outcome.error = restored.error.empty() ? "no answer" : restored.error;
    }
    // The printer is this run's own change, set back even when the network could not be.
    if (pending.previousPrinter && !pending.previousPrinter->empty() &&
        services.SetDefaultPrinter(*pending.previousPrinter)) {
        outcome.printer = *pending.previousPrinter;
    }
    return outcome;
}

}  // namespace

SafeTexts::SafeTexts() {
    for (auto [key, text] : TextsByKey(*this)) {
        *text = core::BuiltInText(key);
    }
}

std::vector<std::pair<const char*, std::string*>> TextsByKey(SafeTexts& texts) {
    return {{"msgGatewayAnswers", &texts.msgGatewayAnswers},
            {"msgGatewayNoAnswer", &texts.msgGatewayNoAnswer},
            {"msgDnsAnswers", &texts.msgDnsAnswers},
            {"msgDnsNoAnswer", &texts.msgDnsNoAnswer},
            {"msgKeepSettings", &texts.msgKeepSettings},
            {"msgKeepCountdown", &texts.msgKeepCountdown},
            {"msgRestored", &texts.msgRestored},
            {"msgRestoreFailed", &texts.msgRestoreFailed},
            {"msgKeepFailed", &texts.msgKeepFailed},
            {"msgKept", &texts.msgKept},
            {"msgRestoredAddress", &texts.msgRestoredAddress},
            {"msgRestoredGateway", &texts.msgRestoredGateway},
            {"msgRestoredDns", &texts.msgRestoredDns},
            {"msgRestoredPrinter", &texts.msgRestoredPrinter},
            {"msgCheckSettings", &texts.msgCheckSettings}};
}

std::vector<platform::ReachTarget> ReachTargets(
    const Profile& profile, const std::vector<platform::ReachTarget>& liveTargets) {
    using Kind = platform::ReachTarget::Kind;
    std::vector<platform::ReachTarget> targets;
    auto live = [&](Kind kind) {
        for (const platform::ReachTarget& target : liveTargets) {
            if (target.kind == kind) {
                targets.push_back(target);
            }
        }
    };
    // A DHCP address takes the gateway the server gives unless the profile names one.
    const std::string gateway(TrimBlanks(profile.Gateway));
    if (!gateway.empty()) {
        targets.push_back({Kind::Gateway, gateway});
    } else if (profile.IsDhcp()) {
        live(Kind::Gateway);
    }
    const std::string dns1(TrimBlanks(profile.DNS1));
    if (dns1.empty()) {
        live(Kind::Dns);
        return targets;
    }
    targets.push_back({Kind::Dns, dns1});
    const std::string dns2(TrimBlanks(profile.DNS2));
    if (!dns2.empty() && dns2 != dns1) {
        targets.push_back({Kind::Dns, dns2});
    }
    return targets;
}

std::string CheckLine(const platform::ReachResult& check, const SafeTexts& texts) {
    const bool gateway = check.target.kind == platform::ReachTarget::Kind::Gateway;
    const std::string& text =
        gateway ? (check.answers ? texts.msgGatewayAnswers : texts.msgGatewayNoAnswer)
                : (check.answers ? texts.msgDnsAnswers : texts.msgDnsNoAnswer);
    return Filled(text, check.target.address);
}

std::string OutcomeText(const SafeOutcome& outcome, const SafeTexts& texts) {
    switch (outcome.kind) {
        case SafeOutcome::Kind::Kept:
            return Filled(texts.msgKept, outcome.interface);
        case SafeOutcome::Kind::KeepFailed:
            return Filled(texts.msgKeepFailed, outcome.interface, outcome.error);
        case SafeOutcome::Kind::RestoreFailed:
            return Filled(texts.msgRestoreFailed, outcome.interface, outcome.error);
        case SafeOutcome::Kind::Restored:
            break;
    }
    std::vector<std::string> parts;
    for (const std::string& word : outcome.restored) {
        if (word == "address") {
            parts.push_back(texts.msgRestoredAddress);
        } else if (word == "gateway") {
            parts.push_back(texts.msgRestoredGateway);
        } else if (word == "dns") {
            parts.push_back(texts.msgRestoredDns);
        } else {
            parts.push_back(word);
        }
    }
    if (!outcome.printer.empty()) {
        parts.push_back(Filled(texts.msgRestoredPrinter, outcome.printer));
    }
    std::string list;
    for (const std::string& part : parts) {
        list += (list.empty() ? "" : ", ") + part;
    }
    return Filled(texts.msgRestored, outcome.interface, list);
}

std::vector<platform::ReachResult> CheckPending(ApplyServices& services,
                                                const PendingApply& pending) {
    return services.CheckReachable(pending.targets, kReachTimeout);
}

SafeOutcome AskAndSettle(ApplyServices& services, const PendingApply& pending,
                         std::vector<platform::ReachResult> checks, const AskKeep& ask) {
    KeepQuestion question;
    question.interface = pending.interface;
    question.hasScript = pending.hasScript;
    question.checks = std::move(checks);
    // Counted after the check, which took part of the time.
    question.secondsLeft = SecondsBefore(pending.deadline);
    // With no time left to ask, the answer is the one a countdown gives.
    const KeepAnswer answer = question.secondsLeft > 0 ? ask(question) : KeepAnswer::TimedOut;
    return Settle(services, pending, answer);
}

SafeOutcome ConfirmApply(ApplyServices& services, const PendingApply& pending, const AskKeep& ask) {
    return AskAndSettle(services, pending, CheckPending(services, pending), ask);
}

std::vector<SafeOutcome> SettlePendingChanges(ApplyServices& services, const AskKeep& ask) {
    std::vector<SafeOutcome> outcomes;
    for (const platform::PendingChange& change : services.ListPending()) {
        PendingApply pending;
        pending.id = change.id;
        pending.interface = change.interface;
        pending.deadline = Clock::now() + std::chrono::seconds(change.secondsLeft);
        KeepQuestion question;
        question.interface = change.interface;
        question.secondsLeft = SecondsBefore(pending.deadline);
        const KeepAnswer answer = question.secondsLeft > 0 ? ask(question) : KeepAnswer::TimedOut;
        outcomes.push_back(Settle(services, pending, answer));
    }
    return outcomes;
}

}  // namespace quorv::apply
