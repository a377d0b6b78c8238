#include "gui/dialogs/FormControls.h"

#include "core/Ipv4.h"
#include "core/ProfileChecks.h"
#include "gui/dialogs/DialogFrame.h"

namespace quorv::dialogs {

QLabel* NewLabel(const QString& caption, const char* name, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

TIPAddrEdit* NewAddress(const char* name, QWidget* parent) {
    auto* edit = new TIPAddrEdit(parent);
    edit->setObjectName(name);
    return edit;
}

void PlaceAddress(TIPAddrEdit* edit, int x, int y) {
    edit->setProperty("designPos", QPoint(x, y));
    const int width = edit->sizeHint().width();
    edit->setGeometry(x + 100 - width, y, width, 21);
}

void PlaceAddressesAgain(QWidget* form) {
    for (TIPAddrEdit* edit : form->findChildren<TIPAddrEdit*>()) {
        const QVariant pos = edit->property("designPos");
        if (pos.isValid()) {
            PlaceAddress(edit, pos.toPoint().x(), pos.toPoint().y());
        }
    }
}

QPushButton* NewButton(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void UseAsDefault(QWidget* dialog, QPushButton* ok) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        button->setAutoDefault(true);
    }
    ok->setDefault(true);
}

void FillMaskOnLeave(TIPAddrEdit* address, TIPAddrEdit* mask) {
    QObject::connect(address, &TIPAddrEdit::Left, mask, [address, mask] {
        if (!mask->Text().isEmpty() || address->IsPartial()) {
            return;
        }
        const auto parsed = apply::ParseIpv4(address->Text().toStdString());
        if (!parsed) {
            return;
        }
        if (const auto classful = apply::ClassfulMask(*parsed)) {
            mask->SetText(QString::fromStdString(apply::FormatIpv4(*classful)));
        }
    });
}

void KeepInsertCaption(QPushButton* btnOK) {
    if (btnOK->text() == Message("msgOK")) {
        btnOK->setText(QStringLiteral("추가"));
    }
}

}  // namespace quorv::dialogs
