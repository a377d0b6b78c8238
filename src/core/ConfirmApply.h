#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/Profile.h"
#include "system/PendingChange.h"
#include "system/Reachability.h"

namespace quorv::apply {

class ApplyServices;

// How long the gateway and DNS servers get to answer after a safe apply: short, since the
// countdown of the question already runs.
inline constexpr std::chrono::milliseconds kReachTimeout{1500};

// The seconds a safe apply asks for by default, and the range the user may choose.
inline constexpr int kKeepSecondsDefault = 15;
inline constexpr int kKeepSecondsMin = 5;
inline constexpr int kKeepSecondsMax = 120;

// netsh's watchdog waits this much longer than the question runs, so that the check fits
// before it and a restore after the countdown is ours, not the watchdog's.
inline constexpr int kKeepAllowanceSeconds = 2;

// A change made with a snapshot that waits to be kept or restored.
struct PendingApply {
    std::string id;  // as netsh said it
    std::string interface;
    std::chrono::steady_clock::time_point deadline;  // when netsh's watchdog restores
    bool hasScript = false;                          // script lines ran, which no restore undoes
    std::vector<platform::ReachTarget> targets;      // what the check asks
    // The default printer before the run, when the run changed it; "" when there was none.
    std::optional<std::string> previousPrinter;
};

// What "Keep these settings?" is asked with.
struct KeepQuestion {
    std::string interface;
    std::vector<platform::ReachResult> checks;  // empty for a change another run left
    int secondsLeft = 0;
    bool hasScript = false;
};

enum class KeepAnswer { Keep, Restore, TimedOut };

// Asks the user; must return within question.secondsLeft (TimedOut when nobody answered).
using AskKeep = std::function<KeepAnswer(const KeepQuestion& question)>;

// How a pending change was settled.
struct SafeOutcome {
    enum class Kind { Kept, Restored, RestoreFailed, KeepFailed };
    Kind kind = Kind::Kept;
    std::string interface;
    std::vector<std::string> restored;  // "address", "gateway", "dns", as the watchdog said
    std::string printer;                // the default printer set back, if any
    std::string error;                  // RestoreFailed, KeepFailed: why
};

// The texts of a safe apply by message key; Korean built-ins until a language file replaces
// them.
struct SafeTexts {
    std::string msgGatewayAnswers;
    std::string msgGatewayNoAnswer;
    std::string msgDnsAnswers;
    std::string msgDnsNoAnswer;
    std::string msgKeepSettings;
    std::string msgKeepCountdown;
    std::string msgRestored;
    std::string msgRestoreFailed;
    std::string msgKeepFailed;
    std::string msgKept;
    std::string msgRestoredAddress;
    std::string msgRestoredGateway;
    std::string msgRestoredDns;
    std::string msgRestoredPrinter;
    std::string msgCheckSettings;
    SafeTexts();
};

// Every text above beside its message key.
std::vector<std::pair<const char*, std::string*>> TextsByKey(SafeTexts& texts);

// What the check asks after applying the profile: its gateway and DNS servers, and for the
// parts it leaves to DHCP those now in force on its interface (liveTargets).
std::vector<platform::ReachTarget> ReachTargets(
    const Profile& profile, const std::vector<platform::ReachTarget>& liveTargets);

// "Gateway 10.0.0.1 answers", one line per check.
std::string CheckLine(const platform::ReachResult& check, const SafeTexts& texts);

// What the user is told of a settled change: kept, restored (and what came back), or why not.
std::string OutcomeText(const SafeOutcome& outcome, const SafeTexts& texts);

// The check of the new settings, which takes up to kReachTimeout. It touches nothing but the
// services' CheckReachable, so it may run on another thread when that is thread-safe.
std::vector<platform::ReachResult> CheckPending(ApplyServices& services,
                                                const PendingApply& pending);

// Asks with the checks already made, then keeps or restores as ConfirmApply does.
SafeOutcome AskAndSettle(ApplyServices& services, const PendingApply& pending,
                         std::vector<platform::ReachResult> checks, const AskKeep& ask);

// Checks the new settings, asks, then keeps or restores through the services. A restore
// also sets the default printer back when the run changed it; script lines stay as they ran.
SafeOutcome ConfirmApply(ApplyServices& services, const PendingApply& pending, const AskKeep& ask);

// Before another apply: every change still pending here is settled by asking first, so two
// applies never overlap and none is settled silently.
std::vector<SafeOutcome> SettlePendingChanges(ApplyServices& services, const AskKeep& ask);

}  // namespace quorv::apply
