#include "gui/dialogs/ReportForm.h"

#include <QCoreApplication>
#include <QFont>
#include <QPalette>
#include <QPointer>

#include "gui/frame/FormHost.h"
#include "gui/frame/WindowFrame.h"

namespace quorv::apply {

namespace {

// The console font the report is designed for, mapped to a monospaced font that has
// Hangul; setup-deps installs the first.
QFont TerminalFont() {
    QFont::insertSubstitutions(
        QStringLiteral("Terminal"),
        {QStringLiteral("NanumGothicCoding"), QStringLiteral("D2Coding"),
         QStringLiteral("Noto Sans Mono CJK KR"), QStringLiteral("DejaVu Sans Mono")});
    QFont font(QStringLiteral("Terminal"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    return font;
}

}  // namespace

void CaptureCommandOutput(const std::vector<std::string>& args, QPlainTextEdit* textArea,
                          const platform::LaunchOptions& options, const CaptureLimits& limits) {
    QPointer<QPlainTextEdit> area(textArea);
    const CapturedOutput output = CaptureCommand(
        args, [] { QCoreApplication::processEvents(QEventLoop::AllEvents); }, limits, options);
    if (!output.started || area.isNull()) {
        return;
    }
    area->setPlainText(area->toPlainText() + QString::fromStdString(output.text));
}

TReportForm::TReportForm(QWidget* owner) : QDialog(owner) {
    setObjectName("ReportForm");
    setWindowTitle(QStringLiteral("IP 설정 정보"));
    settings::SetFixedDialogFrame(*this, 628, 496);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(8, 8, 609, 449);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setFont(TerminalFont());
    QPalette colours = Memo1->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, Qt::black);
        colours.setColor(group, QPalette::Text, QColor(0xC0, 0xC0, 0xC0));
    }
    Memo1->setPalette(colours);
    Memo1->setPlainText(QStringLiteral("[모든 네트워크 어뎁터에 설정된 IP 정보]\n"));

    btnOK = new QPushButton(QStringLiteral("확인"), this);
    btnOK->setObjectName("btnOK");
    btnOK->setGeometry(542, 464, 75, 25);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    if (settings::IFormHost* host = settings::FormHost()) {
        host->ApplyLanguage(this);
    }
}

void TReportForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (activated_) {
        return;
    }
    settings::CenterOnScreen(*this);
    // The first activation of a modal window follows its first show; queued, the
    // capture also starts where the window system never reports activation.
    QMetaObject::invokeMethod(this, &TReportForm::FormActivate, Qt::QueuedConnection);
}

void TReportForm::FormActivate() {
    if (activated_) {
        return;
    }
    activated_ = true;

    QPointer<TReportForm> self(this);
    capturing_ = true;
    // Spelt as Windows does; found in the program folder whatever the case, never a
    // lower-case ipconfig elsewhere on PATH.
    CaptureCommandOutput({"IPCONFIG", "/all"}, Memo1, launch_, limits_);
    if (self.isNull()) {
        return;
    }
    capturing_ = false;
    captured_ = true;
    if (pendingResult_) {
        QDialog::done(*pendingResult_);
    }
}

void TReportForm::done(int result) {
    if (capturing_) {
        pendingResult_ = result;
        return;
    }
    QDialog::done(result);
}

}  // namespace quorv::apply
