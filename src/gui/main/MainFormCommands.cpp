#include "gui/main/MainForm.h"

#include <unistd.h>

#include <QInputDialog>

#include "core/OptionRecord.h"
#include "core/Options.h"
#include "core/ProfileRecord.h"
#include "core/RecordLookup.h"
#include "core/RootApply.h"
#include "core/TableWriteLock.h"
#include "gui/dialogs/AboutForm.h"
#include "gui/dialogs/ExchangeDialogs.h"
#include "gui/dialogs/IPMapForm.h"
#include "gui/dialogs/OptionForm.h"
#include "gui/frame/ErrorBox.h"
#include "gui/frame/LanguageOps.h"
#include "gui/main/ProfileSave.h"
#include "gui/main/WebPages.h"
#include "gui/widgets/PlainText.h"

namespace quorv::app {

namespace {

std::string Utf8(const QString& text) {
    return text.toStdString();
}

// What the Name column keeps of a typed name.
QString StoredName(const QString& name) {
    return QString::fromStdString(
        apply::CutToWidth(Utf8(name), static_cast<size_t>(apply::ProfileColumnWidth("Name"))));
}

}  // namespace

QMessageBox::StandardButton TMainForm::Ask(QMessageBox::Icon icon, const QString& text,
                                           QMessageBox::StandardButtons buttons) {
    const bool question = icon == QMessageBox::Question;
    widgets::TPlainMessageBox box(icon,
                                  question ? QStringLiteral("Confirm") : QStringLiteral("Warning"),
                                  text, buttons, this);
    box.setObjectName(question ? "ConfirmBox" : "WarningBox");
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void TMainForm::PostProfile() {
    try {
        StoreTable1.Post();
    } catch (...) {
        try {
            StoreTable1.Cancel();
        } catch (...) {
            // The post's failure is the one to report.
        }
        throw;
    }
}

void TMainForm::ExecProfileDialog(dialogs::TIPMapForm& form,
                                  const std::optional<std::string>& storedName) {
    RefuseUnwritableProfiles(StoreTable1);
    if (form.exec() != QDialog::Accepted) {
        return;
    }
    if (!SaveDialogProfile(StoreTable1, form.Value, storedName)) {
        // Another program took the name while the dialog was open.
        Ask(QMessageBox::Warning, Text("msgAlreadyExists"), QMessageBox::Ok);
        return;
    }
    QTreeWidgetItem* row =
        storedName ? ListView1->FindRow(QString::fromStdString(*storedName)) : nullptr;
    if (row != nullptr) {
        ListView1->SetRow(row, form.Value);
    } else {
        ListView1->AddRow(form.Value);
    }
}

void TMainForm::acInsertExecute() {
    QString name;
    for (;;) {
        QInputDialog box(this);
        box.setObjectName("InputBox");
        box.setWindowTitle(Text("msgNewName"));
        box.setLabelText(Text("msgName"));
        box.setTextValue(Text("msgNewItem"));
        if (box.exec() != QDialog::Accepted) {
            return;
        }
        // Checked as the Name column will keep it, byte for byte.
        name = StoredName(box.textValue());
        if (ListView1->FindRow(name) == nullptr) {
            break;
        }
        Ask(QMessageBox::Warning, Text("msgAlreadyExists"), QMessageBox::Ok);
    }
    dialogs::TIPMapForm form(this);
    form.Value.Name = Utf8(name);
    form.setWindowTitle(form.windowTitle() + " - [" + name + "]");
    ExecProfileDialog(form, std::nullopt);
}

void TMainForm::acUpdateExecute() {
    QTreeWidgetItem* row = ListView1->Selected();
    if (row == nullptr || !FindByName(StoreTable1, Utf8(row->text(0)))) {
        return;
    }
    dialogs::TIPMapForm form(this);
    form.Value = ReadProfile(StoreTable1);
    form.setWindowTitle(form.windowTitle() + " - [" + row->text(0) + "]");
    form.btnOK->setText(Text("msgOK"));
    ExecProfileDialog(form, form.Value.Name);
}

void TMainForm::acDeleteExecute() {
    QTreeWidgetItem* row = ListView1->Selected();
    if (row == nullptr) {
        return;
    }
    if (Ask(QMessageBox::Question, Text("msgDeleteSure"), QMessageBox::Yes | QMessageBox::No) !=
        QMessageBox::Yes) {
        return;
    }
    if (FindByName(StoreTable1, Utf8(row->text(0)))) {
        StoreTable1.Delete();
    }
    delete row;
    // The list view would hand the selection to a neighbour; nothing stays selected.
    ListView1->clearSelection();
}

void TMainForm::acResultExecute() {
    QTreeWidgetItem* row = ListView1->Selected();
    if (row == nullptr || !FindByName(StoreTable1, Utf8(row->text(0)))) {
        return;
    }
    // As root the profile comes from the data file judged as it is opened, so that a
    // file swapped in under the window's name cannot run its script lines as root.
    const apply::Profile profile = geteuid() == 0 ? ReadProfileAsRoot(dataFile_, Utf8(row->text(0)))
                                                  : ReadProfile(StoreTable1);
    const bool showScripts =
        apply::ShowScriptWindow(ReadOption(StoreTable2, apply::kShowScriptWindow));
    services_->ApplyProfile(this, row->text(0), profile, showScripts, ProgressTexts());
    if (apply::AfterIPInfo(ReadOption(StoreTable2, apply::kAfterIPInfo))) {
        services_->ShowReport(this);
    }
}

void TMainForm::acInfoExecute() {
    services_->ShowReport(this);
}

void TMainForm::acOpenExecute() {
    settings::acOpenExecute(this);
}

void TMainForm::acSaveExecute() {
    settings::acSaveExecute(this);
}

void TMainForm::acOptionExecute() {
    settings::acOptionExecute(this);
}

void TMainForm::acLanguageExecute(QAction* sender) {
    settings::SwitchLanguage(FormStorage1->Language, sender == acKorea, *QLanguage, this, texts_);
    ShowLanguageProblem({});
}

void TMainForm::acAboutExecute() {
    widgets::TAboutForm form(this);
    form.exec();
}

void TMainForm::acExitExecute() {
    close();
}

void TMainForm::acHelpExecute() {
    OpenWebPage(kHelpPage);
}

void TMainForm::acQnAExecute() {
    OpenWebPage(kQnAPage);
}

void TMainForm::acDonateExecute() {
    OpenWebPage(kDonatePage);
}

void TMainForm::acIconExecute(QAction* sender) {
    QTreeWidgetItem* row = ListView1->Selected();
    if (row == nullptr || !FindByName(StoreTable1, Utf8(row->text(0)))) {
        return;
    }
    const int image = sender->property("imageIndex").toInt();
    StoreTable1.Edit();
    StoreTable1.FieldByName("Icon").SetAsInteger(image);
    PostProfile();
    ListView1->SetRowImage(row, image);
}

void TMainForm::ListView1Edited(QTreeWidgetItem* item, QString& name) {
    const QString old = item->text(0);
    // The row shows what the Name column keeps, so later commands find the record.
    name = StoredName(name);
    if (name == old) {
        return;
    }
    bool taken = false;
    {
        // Checked and written as one step: qic cannot add the name in between.
        TableWriteLock lock(StoreTable1);
        taken = FindByName(StoreTable1, Utf8(name));
        if (!taken && FindByName(StoreTable1, Utf8(old))) {
            StoreTable1.Edit();
            WriteProfileText(StoreTable1, "Name", Utf8(name));
            PostProfile();
        }
    }
    if (taken) {
        Ask(QMessageBox::Warning, Text("msgAlreadyExists"), QMessageBox::Ok);
        name = old;
    }
}

void TMainForm::ListView1DblClick() {
    if (ListView1->Selected() == nullptr) {
        return;
    }
    switch (apply::DblClickAction(ReadOption(StoreTable2, apply::kDblClickAction))) {
        case 0:
            Execute(acResult);
            break;
        case 1:
            Execute(acUpdate);
            break;
        case 2:
            Execute(acDelete);
            break;
        default:
            break;
    }
}

}  // namespace quorv::app
