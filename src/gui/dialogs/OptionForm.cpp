#include "gui/dialogs/OptionForm.h"

#include <exception>

#include "core/ConfirmApply.h"
#include "core/OptionRecord.h"
#include "core/Options.h"
#include "gui/frame/FormHost.h"
#include "gui/frame/WindowFrame.h"

namespace quorv::settings {

TOptionForm::TOptionForm(QWidget* owner) : QDialog(owner) {
    setObjectName("OptionForm");
    setWindowTitle(QStringLiteral("환경 설정"));
    SetFixedDialogFrame(*this, 404, 217);

    lblDClickAction = new QLabel(QStringLiteral("항목에서 더블 클릭 했을때 "), this);
    lblDClickAction->setObjectName("lblDClickAction");
    lblDClickAction->setGeometry(24, 24, 161, 17);

    cbDClick = new QComboBox(this);
    cbDClick->setObjectName("cbDClick");
    cbDClick->setEditable(false);
    cbDClick->addItems({QStringLiteral("IP 설정을 실행 합니다."),
                        QStringLiteral("항목 수정을 실행 합니다."),
                        QStringLiteral("항목 삭제를 실행 합니다.")});
    cbDClick->setCurrentIndex(0);
    cbDClick->setGeometry(192, 16, 185, 24);
    lblDClickAction->setBuddy(cbDClick);

    cbShowIPInfo =
        new QCheckBox(QStringLiteral("IP 설정이 완료된 후에 IP 설정 정보 보여주기"), this);
    cbShowIPInfo->setObjectName("cbShowIPInfo");
    cbShowIPInfo->setGeometry(24, 56, 353, 20);

    cbShowScript = new QCheckBox(QStringLiteral("스크립트 명령 창 보여주기"), this);
    cbShowScript->setObjectName("cbShowScript");
    cbShowScript->setGeometry(24, 88, 345, 20);
    cbShowScript->setChecked(true);

    cbAskKeep = new QCheckBox(QStringLiteral("새 설정을 유지할지 묻기"), this);
    cbAskKeep->setObjectName("cbAskKeep");
    cbAskKeep->setGeometry(24, 120, 353, 20);

    lblKeepSeconds = new QLabel(QStringLiteral("복원까지 남은 시간(초):"), this);
    lblKeepSeconds->setObjectName("lblKeepSeconds");
    lblKeepSeconds->setGeometry(44, 148, 240, 20);

    seKeepSeconds = new QSpinBox(this);
    seKeepSeconds->setObjectName("seKeepSeconds");
    seKeepSeconds->setRange(apply::kKeepSecondsMin, apply::kKeepSecondsMax);
    seKeepSeconds->setValue(apply::kKeepSecondsDefault);
    seKeepSeconds->setGeometry(292, 146, 85, 24);
    lblKeepSeconds->setBuddy(seKeepSeconds);
    auto enableSeconds = [this](bool on) {
        lblKeepSeconds->setEnabled(on);
        seKeepSeconds->setEnabled(on);
    };
    connect(cbAskKeep, &QCheckBox::toggled, this, enableSeconds);
    enableSeconds(false);

    btnOK = new QPushButton(QStringLiteral("확인"), this);
    btnOK->setObjectName("btnOK");
    btnOK->setGeometry(240, 184, 75, 25);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    btnCancel = new QPushButton(QStringLiteral("취소"), this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setGeometry(320, 184, 75, 25);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    if (IFormHost* host = FormHost()) {
        host->ApplyLanguage(this);
    }
}

void TOptionForm::showEvent(QShowEvent* event) {
    FitLabel();
    QDialog::showEvent(event);
    CenterOnScreen(*this);
}

void TOptionForm::FitLabel() {
    const QRect designed(24, 24, 161, 17);
    lblDClickAction->setWordWrap(false);
    if (lblDClickAction->sizeHint().width() <= designed.width()) {
        lblDClickAction->setGeometry(designed);
        return;
    }
    // A language's longer text wraps beside the list instead of running under it.
    lblDClickAction->setWordWrap(true);
    const int height = lblDClickAction->heightForWidth(designed.width());
    lblDClickAction->setGeometry(designed.x(), cbDClick->geometry().center().y() - height / 2,
                                 designed.width(), height);
}

void LoadOptions(TOptionForm& form, store::TStoreTable& options) {
    if (const apply::OptionValue value = app::ReadOption(options, apply::kAfterIPInfo)) {
        form.cbShowIPInfo->setChecked(*value == "1");
    }
    if (const apply::OptionValue value = app::ReadOption(options, apply::kShowScriptWindow)) {
        form.cbShowScript->setChecked(*value == "1");
    }
    if (const apply::OptionValue value = app::ReadOption(options, apply::kDblClickAction)) {
        const int index = apply::StrToInt(*value);
        // An integer that names no item selects none, as the list control does.
        form.cbDClick->setCurrentIndex(index >= 0 && index < form.cbDClick->count() ? index : -1);
    }
}

void StoreOptions(const TOptionForm& form, store::TStoreTable& options) {
    const int index = form.cbDClick->currentIndex();
    if (index >= 0) {
        app::WriteOption(options, apply::kDblClickAction, std::to_string(index));
    }
    app::WriteOption(options, apply::kAfterIPInfo, form.cbShowIPInfo->isChecked() ? "1" : "0");
    app::WriteOption(options, apply::kShowScriptWindow, form.cbShowScript->isChecked() ? "1" : "0");
}

void LoadKeepOption(TOptionForm& form, const KeepOption& option) {
    form.cbAskKeep->setChecked(option.ask);
    form.seKeepSeconds->setValue(option.seconds);
}

KeepOption StoredKeepOption(const TOptionForm& form) {
    return {form.cbAskKeep->isChecked(), form.seKeepSeconds->value()};
}

void acOptionExecute(QWidget* owner) {
    IFormHost* host = FormHost();
    if (host == nullptr) {
        return;
    }
    store::TStoreTable& options = host->OptionTable();
    TOptionForm form(owner);
    try {
        LoadOptions(form, options);
    } catch (const std::exception& error) {
        host->ShowException(error);
        form.cbDClick->setCurrentIndex(0);
    }
    IPlacementStorage* user = host->UserSettings();
    if (user != nullptr) {
        LoadKeepOption(form, ReadKeepOption(*user));
    }
    // Without per-user settings there is nowhere to keep it.
    form.cbAskKeep->setVisible(user != nullptr);
    form.lblKeepSeconds->setVisible(user != nullptr);
    form.seKeepSeconds->setVisible(user != nullptr);
    if (form.exec() != QDialog::Accepted) {
        return;
    }
    StoreOptions(form, options);
    if (user != nullptr) {
        WriteKeepOption(*user, StoredKeepOption(form));
    }
}

}  // namespace quorv::settings
