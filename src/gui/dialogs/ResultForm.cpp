#include "gui/dialogs/ResultForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMessageBox>

#include "gui/frame/WindowFrame.h"

#include "gui/frame/FormHost.h"
#include "gui/widgets/PlainText.h"
#include "system/Subprocess.h"

namespace quorv::apply {

TResultForm::TResultForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("ResultForm");
    setWindowTitle(QStringLiteral("IP 변경"));
    setFixedSize(265, 64);
    setSizeGripEnabled(false);

    Animate1 = new TBusyAnimation(this);
    Animate1->setObjectName("Animate1");
    Animate1->move(20, 24);

    Label1 = new QLabel(QStringLiteral("준비 중..."), this);
    Label1->setObjectName("Label1");
    Label1->setTextFormat(Qt::PlainText);
    Label1->setGeometry(48, 22, 194, 20);
    Label1->setWordWrap(false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &TResultForm::Timer1Timer);

    // Started even where the window system never reports activation, rather than
    // leaving a window nobody can close.
    activation_ = new dialogs::TFirstActivation(this, [this] { FormActivate(); });

    if (settings::IFormHost* host = settings::FormHost())
        host->ApplyLanguage(this);
}

void TResultForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (activation_->Done()) {
        return;
    }
    settings::CenterOnScreen(*this);
}

void TResultForm::FormActivate() {
    Timer1->start();
}

void TResultForm::Timer1Timer() {
    Timer1->stop();
    if (job_) {
        // The window repaints and animates while the run waits for netsh, but no click or
        // key press gets through.
        platform::WhileWaiting repaint(
            [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
        result_ = job_([this](const std::string& text) {
            Label1->setText(QString::fromStdString(text));
            // Painted now: script and printer steps do not wait, so no later
            // repaint would show their texts.
            Label1->repaint();
        });
    }
    finished_ = true;
    accept();
}

void TResultForm::reject() {
    // No close box, no Escape: the window closes itself when the run is over.
    if (finished_) {
        QDialog::reject();
    }
}

void TResultForm::closeEvent(QCloseEvent* event) {
    if (!finished_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ShowApplyFailures(QWidget* parent, const ApplyResult& result, const FailureTexts& texts) {
    if (result.Succeeded()) {
        return;
    }
    widgets::TPlainMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"),
                                  QString::fromStdString(FailureSummary(result, texts)),
                                  QMessageBox::Ok, parent);
    box.setObjectName("ApplyFailureBox");
    box.exec();
}

ApplyResult ApplyWithProgress(QWidget* parent, const QString& profileName, const Profile& profile,
                              bool showScriptWindow, ApplyServices& services,
                              const ProgressTexts& texts) {
    ApplyResult result;
    {
        TResultForm form(parent);
        form.setWindowTitle(form.windowTitle() + " - [" + profileName + "]");
        form.SetJob([&](const ProgressCallback& progress) {
            ApplyRun run(services, texts, progress);
            return run.Run(profile, showScriptWindow);
        });
        form.exec();
        result = form.Result();
    }
    ShowApplyFailures(parent, result, texts.failures);
    return result;
}

}  // namespace quorv::apply
