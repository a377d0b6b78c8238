#include "gui/dialogs/ConfirmDialogs.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <chrono>
#include <future>

#include "gui/dialogs/KeepSettingsForm.h"
#include "gui/dialogs/ResultForm.h"
#include "gui/widgets/PlainText.h"

namespace quorv::apply {

namespace {

// The check waits up to kReachTimeout on sockets alone; done on a worker thread, it leaves
// this one free to repaint the progress window, though not to take clicks or keys.
std::vector<platform::ReachResult> CheckWhilePainting(ApplyServices& services,
                                                      const PendingApply& pending) {
    auto check = std::async(std::launch::async,
                            [&services, &pending] { return CheckPending(services, pending); });
    while (check.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    return check.get();
}

}  // namespace

KeepAnswer AskKeepInWindow(QWidget* owner, const KeepQuestion& question) {
    settings::TKeepSettingsForm form(owner, question.checks, question.secondsLeft,
                                     question.hasScript);
    form.exec();
    switch (form.Result()) {
        case settings::TKeepSettingsForm::Answer::Keep:
            return KeepAnswer::Keep;
        case settings::TKeepSettingsForm::Answer::TimedOut:
            return KeepAnswer::TimedOut;
        case settings::TKeepSettingsForm::Answer::Restore:
            break;
    }
    return KeepAnswer::Restore;
}

void ShowSafeOutcome(QWidget* owner, const SafeOutcome& outcome, const SafeTexts& texts) {
    if (outcome.kind == SafeOutcome::Kind::Kept) {
        return;
    }
    const bool restored = outcome.kind == SafeOutcome::Kind::Restored;
    widgets::TPlainMessageBox box(
        restored ? QMessageBox::Information : QMessageBox::Warning,
        restored ? QStringLiteral("Information") : QStringLiteral("Warning"),
        QString::fromStdString(OutcomeText(outcome, texts)), QMessageBox::Ok, owner);
    box.setObjectName("SafeOutcomeBox");
    box.exec();
}

bool ApplySafelyWithProgress(QWidget* parent, const QString& profileName, const Profile& profile,
                             bool showScriptWindow, ApplyServices& services,
                             const ProgressTexts& texts, const SafeTexts& safeTexts, int seconds,
                             const AskKeep& ask) {
    ApplyResult result;
    std::vector<platform::ReachResult> checks;
    {
        TResultForm form(parent);
        form.setWindowTitle(form.windowTitle() + " - [" + profileName + "]");
        form.SetJob([&](const ProgressCallback& progress) {
            ApplyRun run(services, texts, progress);
            run.KeepWithin(seconds);
            ApplyResult done = run.Run(profile, showScriptWindow);
            if (done.pending) {
                progress(safeTexts.msgCheckSettings);
                checks = CheckWhilePainting(services, *done.pending);
            }
            return done;
        });
        form.exec();
        result = form.Result();
    }
    bool kept = true;
    std::optional<SafeOutcome> outcome;
    if (result.pending) {
        outcome = AskAndSettle(services, *result.pending, std::move(checks), ask);
        kept = outcome->kind == SafeOutcome::Kind::Kept;
    }
    ShowApplyFailures(parent, result, texts.failures);
    if (outcome) {
        ShowSafeOutcome(parent, *outcome, safeTexts);
    }
    return result.Succeeded() && kept;
}

void SettlePendingInWindow(QWidget* owner, ApplyServices& services, const SafeTexts& texts,
                           const AskKeep& ask) {
    for (const SafeOutcome& outcome : SettlePendingChanges(services, ask)) {
        ShowSafeOutcome(owner, outcome, texts);
    }
}

}  // namespace quorv::apply
