#include "gui/dialogs/AddIPForm.h"

#include "core/ProfileChecks.h"
#include "gui/dialogs/DialogBoxes.h"
#include "gui/dialogs/DialogFrame.h"
#include "gui/dialogs/FormControls.h"
#include "gui/frame/WindowFrame.h"

namespace quorv::dialogs {

TAddIPForm::TAddIPForm(QTreeWidget* list, QWidget* owner) : QDialog(owner), list_(list) {
    setObjectName("AddIPForm");
    setWindowTitle(QStringLiteral("TCP/IP 주소"));
    settings::SetFixedDialogFrame(*this, 370, 102);

    lblIP = NewLabel(QStringLiteral("IP 주소 : "), "lblIP", this);
    lblIP->setGeometry(16, 14, 200, 21);
    IPAddrEdit1 = NewAddress("IPAddrEdit1", this);
    PlaceAddress(IPAddrEdit1, 254, 14);
    lblMask = NewLabel(QStringLiteral("서브넷 마스크 : "), "lblMask", this);
    lblMask->setGeometry(16, 42, 200, 21);
    IPAddrEdit2 = NewAddress("IPAddrEdit2", this);
    PlaceAddress(IPAddrEdit2, 254, 42);
    btnOK = NewButton(QStringLiteral("추가"), "btnOK", this);
    btnOK->setGeometry(188, 70, 80, 26);
    btnCancel = NewButton(QStringLiteral("취소"), "btnCancel", this);
    btnCancel->setGeometry(274, 70, 80, 26);
    QWidget::setTabOrder(IPAddrEdit1, IPAddrEdit2);
    QWidget::setTabOrder(IPAddrEdit2, btnOK);
    QWidget::setTabOrder(btnOK, btnCancel);
    lblIP->setBuddy(IPAddrEdit1);
    lblMask->setBuddy(IPAddrEdit2);
    UseAsDefault(this, btnOK);
    FillMaskOnLeave(IPAddrEdit1, IPAddrEdit2);

    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    ApplyLanguage(this);
    KeepInsertCaption(btnOK);
    PlaceAddressesAgain(this);
}

void TAddIPForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        settings::CenterOnScreen(*this);
    }
}

bool TAddIPForm::EditMode() const {
    return btnOK->text() == Message("msgOK");
}

void TAddIPForm::btnOKClick() {
    if (RunGuarded(this, [this] { return WriteRow(); })) {
        accept();
    }
}

bool TAddIPForm::WriteRow() {
    const QString address = IPAddrEdit1->Text();
    const QString mask = IPAddrEdit2->Text();
    if (!CheckAddressPair(this, IPAddrEdit1, IPAddrEdit2)) {
        return false;
    }
    // The pair alone: the IP dialog's OK judges it again with the gateway.
    apply::Profile pair;
    pair.SetAddresses({address.toStdString()}, {mask.toStdString()});
    try {
        apply::CheckProfileSettings(pair);
    } catch (const apply::RefusedValue& refused) {
        ShowRefusal(this, refused, refused.Column == "Mask" ? IPAddrEdit2 : IPAddrEdit1);
        return false;
    }
    if (!EditMode()) {
        auto* row = new QTreeWidgetItem(QStringList{address, mask});
        row->setFlags(row->flags() | Qt::ItemIsEditable);
        list_->addTopLevelItem(row);
    } else if (QTreeWidgetItem* row = list_->currentItem(); row != nullptr && row->isSelected()) {
        row->setText(0, address);
        row->setText(1, mask);
    }
    list_->setFocus();
    return true;
}

}  // namespace quorv::dialogs
