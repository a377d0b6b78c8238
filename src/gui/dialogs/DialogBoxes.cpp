#include "gui/dialogs/DialogBoxes.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

#include "core/DottedQuad.h"
#include "core/ProfileChecks.h"
#include "gui/dialogs/DialogFrame.h"
#include "gui/widgets/IPAddrEdit.h"
#include "gui/widgets/PlainText.h"

namespace quorv::dialogs {

namespace {

// A box may come up during start work under the wait cursor; it is answered with the
// normal one.
struct NormalCursor {
    NormalCursor() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~NormalCursor() { QApplication::restoreOverrideCursor(); }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;
};

}  // namespace

void ShowWarning(QWidget* parent, const QString& text) {
    NormalCursor cursor;
    widgets::TPlainMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text,
                                  QMessageBox::Ok, parent);
    box.setObjectName("WarningBox");
    box.exec();
}

void ShowError(QWidget* parent, const QString& text) {
    NormalCursor cursor;
    QString title = QApplication::applicationDisplayName();
    widgets::TPlainMessageBox box(QMessageBox::Critical,
                                  title.isEmpty() ? QStringLiteral("Error") : title, text,
                                  QMessageBox::Ok, parent);
    box.setObjectName("ErrorBox");
    box.exec();
}

}  // namespace quorv::dialogs

namespace quorv::dialogs {

bool RunGuarded(QWidget* parent, const std::function<bool()>& handler) {
    try {
        return handler();
    } catch (const std::exception& e) {
        ShowError(parent, QString::fromUtf8(e.what()));
    }
    return false;
}

}  // namespace quorv::dialogs

namespace quorv::dialogs {

void FillAddress(TIPAddrEdit* edit, const QString& text) {
    try {
        edit->SetText(text);
    } catch (const EIPAddrError& e) {
        edit->SetText(QString());
        ShowError(edit->window(), QString::fromUtf8(e.what()));
    }
}

bool CheckAddressPair(QWidget* dialog, TIPAddrEdit* address, TIPAddrEdit* mask) {
    if (!CheckComplete(dialog, address)) {
        return false;
    }
    if (!IsValidDottedQuad(address->Text().toStdString())) {
        ShowWarning(dialog, Message("msgWrongIP"));
        address->setFocus();
        return false;
    }
    if (!CheckComplete(dialog, mask)) {
        return false;
    }
    if (!IsValidDottedQuad(mask->Text().toStdString())) {
        ShowWarning(dialog, Message("msgWrongMask"));
        mask->setFocus();
        return false;
    }
    return true;
}

namespace {

// The caption of the label that names an address control, without its mnemonic and colon.
QString FieldName(TIPAddrEdit* edit) {
    for (const QLabel* label : edit->window()->findChildren<QLabel*>()) {
        if (label->buddy() == edit) {
            QString name = label->text();
            name.remove(u'&');
            name = name.trimmed();
            while (name.endsWith(u':')) {
                name.chop(1);
                name = name.trimmed();
            }
            return name;
        }
    }
    return edit->objectName();
}

}  // namespace

bool CheckComplete(QWidget* dialog, TIPAddrEdit* edit) {
    if (!edit->IsPartial()) {
        return true;
    }
    ShowWarning(dialog, Message("msgIncompleteAddress").arg(FieldName(edit)));
    edit->setFocus();
    return false;
}

void ShowRefusal(QWidget* dialog, const apply::RefusedValue& refused, QWidget* field) {
    const char* kind = nullptr;
    if (refused.Column == "IP") {
        kind = "msgWrongIP";
    } else if (refused.Column == "Mask") {
        kind = "msgWrongMask";
    } else if (refused.Column == "Gateway") {
        kind = "msgWrongGateway";
    } else if (refused.Column == "DNS1" || refused.Column == "DNS2") {
        kind = "msgWrongDNS";
    }
    const QString reason = QString::fromUtf8(refused.what());
    ShowWarning(dialog, kind ? Message(kind) + QStringLiteral("\n\n") + reason : reason);
    if (field != nullptr) {
        field->setFocus();
    }
}

}  // namespace quorv::dialogs
