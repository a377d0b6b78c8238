#include "gui/dialogs/KeepSettingsForm.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/frame/FormHost.h"
#include "gui/frame/MessageTexts.h"
#include "gui/frame/WindowFit.h"
#include "gui/frame/WindowFrame.h"

namespace quorv::settings {
namespace {

const TMessageTexts& Texts() {
    static const TMessageTexts builtIn;
    const IFormHost* host = FormHost();
    return host ? host->MessageTexts() : builtIn;
}

QString CheckLine(const platform::ReachResult& check) {
    const bool gateway = check.target.kind == platform::ReachTarget::Kind::Gateway;
    const char* key = gateway ? (check.answers ? "msgGatewayAnswers" : "msgGatewayNoAnswer")
                              : (check.answers ? "msgDnsAnswers" : "msgDnsNoAnswer");
    return Texts().Text(key).arg(QString::fromStdString(check.target.address));
}

QLabel* PlainLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

TKeepSettingsForm::TKeepSettingsForm(QWidget* owner,
                                     const std::vector<platform::ReachResult>& checks, int seconds,
                                     bool hasScript)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      secondsLeft_(std::max(seconds, 1)) {
    setObjectName("KeepSettingsForm");
    setWindowModality(Qt::WindowModal);
    setSizeGripEnabled(false);

    auto* imgQuestion = new QLabel(this);
    imgQuestion->setObjectName("imgQuestion");
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    imgQuestion->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(iconSize));
    imgQuestion->setAlignment(Qt::AlignTop);

    lblKeepText = PlainLabel("lblKeepText", this);
    QFont bold = lblKeepText->font();
    bold.setBold(true);
    lblKeepText->setFont(bold);
    lblChecks = PlainLabel("lblChecks", this);
    lblCountdown = PlainLabel("lblCountdown", this);
    lblScriptNote = PlainLabel("lblScriptNote", this);

    btnKeep = new QPushButton(this);
    btnKeep->setObjectName("btnKeep");
    btnRestore = new QPushButton(this);
    btnRestore->setObjectName("btnRestore");
    btnRestore->setDefault(true);

    tmrCountdown = new QTimer(this);
    tmrCountdown->setObjectName("tmrCountdown");
    tmrCountdown->setInterval(1000);
    connect(tmrCountdown, &QTimer::timeout, this, &TKeepSettingsForm::Tick);

    connect(btnKeep, &QPushButton::clicked, this, [this] {
        answer_ = Answer::Keep;
        accept();
    });
    // Escape and the close box reject as well, and answer_ is Restore until told otherwise.
    connect(btnRestore, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, tmrCountdown, &QTimer::stop);

    auto* texts = new QVBoxLayout;
    texts->addWidget(lblKeepText);
    texts->addWidget(lblChecks);
    texts->addWidget(lblCountdown);
    texts->addWidget(lblScriptNote);
    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(imgQuestion, 0, Qt::AlignTop);
    body->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnKeep);
    buttons->addWidget(btnRestore);
    auto* form = new QVBoxLayout(this);
    form->setObjectName("KeepSettingsLayout");
    form->addLayout(body);
    form->addSpacing(8);
    form->addLayout(buttons);
    // Sized to its texts, whatever the language; no grip, no resizing.
    form->setSizeConstraint(QLayout::SetFixedSize);

    if (IFormHost* host = FormHost()) {
        host->ApplyLanguage(this);
    }
    const TMessageTexts& messages = Texts();
    setWindowTitle(messages.Text("msgKeepSettings"));
    lblKeepText->setText(messages.Text("msgKeepSettings"));
    QStringList lines;
    for (const platform::ReachResult& check : checks) {
        lines.append(CheckLine(check));
    }
    lblChecks->setText(lines.join('\n'));
    lblChecks->setVisible(!lines.isEmpty());
    lblScriptNote->setText(messages.Text("msgKeepScriptNote"));
    lblScriptNote->setVisible(hasScript);
    btnKeep->setText(messages.Text("msgKeepButton"));
    btnRestore->setText(messages.Text("msgRestoreButton"));

    ShowSecondsLeft();
    // The first text has the most digits: the window keeps its width while it counts down.
    lblCountdown->setMinimumWidth(lblCountdown->sizeHint().width());
    btnRestore->setFocus();
}

void TKeepSettingsForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_) {
        return;
    }
    shown_ = true;
    PlaceOverOwner();
    btnRestore->setFocus();
    tmrCountdown->start();
}

void TKeepSettingsForm::Tick() {
    secondsLeft_ = std::max(secondsLeft_ - 1, 0);
    ShowSecondsLeft();
    if (secondsLeft_ == 0) {
        answer_ = Answer::TimedOut;
        reject();
    }
}

void TKeepSettingsForm::ShowSecondsLeft() {
    lblCountdown->setText(Texts().Text("msgKeepCountdown").arg(secondsLeft_));
}

void TKeepSettingsForm::PlaceOverOwner() {
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (owner == nullptr || !owner->isVisible()) {
        CenterOnScreen(*this);
        return;
    }
    const QRect ownerFrame = owner->frameGeometry();
    QRect client = geometry();
    client.moveCenter(ownerFrame.center());
    // Over an owner half off the screen, the question still shows whole.
    if (const QScreen* screen = ScreenShowing(ownerFrame)) {
        client = FitClientRect(client, screen->availableGeometry(), FrameMargins(this));
    }
    move(client.topLeft() - QPoint(FrameMargins(this).left(), FrameMargins(this).top()));
}

}  // namespace quorv::settings
