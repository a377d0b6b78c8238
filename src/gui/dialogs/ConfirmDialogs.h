#pragma once

#include <QString>

#include "core/ApplyRun.h"
#include "core/ConfirmApply.h"

class QWidget;

namespace quorv::apply {

// "Keep these settings?" as a window over owner (TKeepSettingsForm).
KeepAnswer AskKeepInWindow(QWidget* owner, const KeepQuestion& question);

// What came of a settled change, in a message box: after a restore what came back, after a
// failure why; nothing after a keep.
void ShowSafeOutcome(QWidget* owner, const SafeOutcome& outcome, const SafeTexts& texts);

// A safe apply from the window: the progress window runs the profile with a snapshot and
// checks the new settings; the question follows at once (the watchdog's clock runs), then the
// failure list and what a restore brought back. True when every step worked and the settings were
// kept.
bool ApplySafelyWithProgress(QWidget* parent, const QString& profileName, const Profile& profile,
                             bool showScriptWindow, ApplyServices& services,
                             const ProgressTexts& texts, const SafeTexts& safeTexts, int seconds,
                             const AskKeep& ask);

// Before an apply from the window: changes an earlier safe apply left pending are settled by
// asking, each outcome shown.
void SettlePendingInWindow(QWidget* owner, ApplyServices& services, const SafeTexts& texts,
                           const AskKeep& ask);

}  // namespace quorv::apply
