#include "gui/main/MainForm.h"

#include <unistd.h>

#include <QInputDialog>
#include <QLocale>
#include <QSystemTrayIcon>
#include <QTime>
#include <QTimer>

#include "core/ConnectionCheck.h"
#include "core/OptionRecord.h"
#include "core/Options.h"
#include "core/ProfileChecks.h"
#include "core/ProfileRecord.h"
#include "core/RecordLookup.h"
#include "core/RootApply.h"
#include "core/TableWriteLock.h"
#include "gui/dialogs/AboutForm.h"
#include "gui/dialogs/ExchangeDialogs.h"
#include "gui/dialogs/IPMapForm.h"
#include "gui/dialogs/OptionForm.h"
#include "gui/dialogs/ProfileNameRule.h"
#include "gui/frame/ErrorBox.h"
#include "gui/frame/KeepOption.h"
#include "gui/frame/LanguageOps.h"
#include "gui/main/DesktopFeatures.h"
#include "gui/main/ProfileSave.h"
#include "gui/main/WebPages.h"
#include "gui/widgets/PlainText.h"

namespace quorv::app {

namespace {

std::string Utf8(const QString& text) {
    return text.toStdString();
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

void TMainForm::ExecProfileDialog(dialogs::TIPMapForm& form,
                                  const std::optional<apply::Profile>& before) {
    RefuseUnwritableProfiles(StoreTable1);
    if (form.exec() != QDialog::Accepted) {
        return;
    }
    const std::optional<apply::Profile> stored = SaveDialogProfile(StoreTable1, form.Value, before);
    if (!stored) {
        // Another program took the name while the dialog was open.
        Ask(QMessageBox::Warning, Text("msgAlreadyExists"), QMessageBox::Ok);
        return;
    }
    QTreeWidgetItem* row =
        before ? ListView1->FindRow(QString::fromStdString(before->Name)) : nullptr;
    if (row != nullptr && row->text(0) == QString::fromStdString(stored->Name)) {
        ListView1->SetRow(row, *stored);
    } else if (before) {
        // Renamed here or elsewhere meanwhile: the list follows the file.
        LoadProfileList();
    } else {
        // The new profile is the one the user works on next.
        ListView1->setCurrentItem(ListView1->AddRow(*stored));
    }
}

bool TMainForm::FindRowRecord(QTreeWidgetItem* row) {
    const bool named = FindByName(StoreTable1, Utf8(row->text(0)));
    const int num = row->data(0, kRecordRole).toInt();
    if (num == 0 || (named && StoreTable1.FieldByName("Num").AsInteger() == num)) {
        return named;
    }
    // Renamed, or its name taken by another profile, since the list was read.
    return FindProfileByNum(StoreTable1, num);
}

std::optional<apply::Profile> TMainForm::RowProfile(QTreeWidgetItem* row) {
    if (row == nullptr) {
        return std::nullopt;
    }
    if (!FindRowRecord(row)) {
        TellStaleRow(row->text(0));
        return std::nullopt;
    }
    return ReadProfile(StoreTable1);
}

void TMainForm::TellStaleRow(const QString& name) {
    LoadProfileList();
    Ask(QMessageBox::Warning, Text("msgProfileGone").arg(name), QMessageBox::Ok);
}

bool TMainForm::AskNewProfileName(QString& name) {
    for (;;) {
        QInputDialog box(this);
        box.setObjectName("InputBox");
        box.setWindowTitle(Text("msgNewName"));
        box.setLabelText(Text("msgName"));
        box.setTextValue(Text("msgNewItem"));
        if (box.exec() != QDialog::Accepted) {
            return false;
        }
        // Checked as the Name column will keep it, byte for byte.
        const std::optional<QString> accepted = dialogs::AcceptedProfileName(this, box.textValue());
        if (!accepted) {
            continue;
        }
        name = *accepted;
        if (ListView1->FindRow(name) == nullptr) {
            return true;
        }
        Ask(QMessageBox::Warning, Text("msgAlreadyExists"), QMessageBox::Ok);
    }
}

void TMainForm::acInsertExecute() {
    QString name;
    if (!AskNewProfileName(name)) {
        return;
    }
    dialogs::TIPMapForm form(this);
    form.Value.Name = Utf8(name);
    form.setWindowTitle(form.windowTitle() + " - [" + name + "]");
    ExecProfileDialog(form, std::nullopt);
}

void TMainForm::acUpdateExecute() {
    QTreeWidgetItem* row = ListView1->Selected();
    const std::optional<apply::Profile> before = RowProfile(row);
    if (!before) {
        return;
    }
    dialogs::TIPMapForm form(this);
    form.Value = *before;
    form.setWindowTitle(form.windowTitle() + " - [" + row->text(0) + "]");
    form.btnOK->setText(Text("msgOK"));
    ExecProfileDialog(form, before);
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
    if (!FindRowRecord(row)) {
        TellStaleRow(row->text(0));
        return;
    }
    StoreTable1.Delete();
    delete row;
    // The list view would hand the selection to a neighbour; nothing stays selected.
    ListView1->clearSelection();
}

void TMainForm::acResultExecute() {
    QTreeWidgetItem* row = ListView1->Selected();
    if (!RowProfile(row)) {
        return;
    }
    // As root the profile comes from the data file judged as it is opened, so that a
    // file swapped in under the window's name cannot run its script lines as root.
    const apply::Profile profile = geteuid() == 0 ? ReadProfileAsRoot(dataFile_, Utf8(row->text(0)))
                                                  : ReadProfile(StoreTable1);
    if (!ConnectionPresent(profile)) {
        return;
    }
    const bool showScripts =
        apply::ShowScriptWindow(ReadOption(StoreTable2, apply::kShowScriptWindow));
    const QString name = row->text(0);
    // Two applies never overlap: what an earlier safe apply left waiting is settled first.
    services_->SettlePending(this, SafeTexts());
    const settings::KeepOption keep =
        FormStorage1 ? settings::ReadKeepOption(FormStorage1->Storage()) : settings::KeepOption{};
    const bool applied =
        keep.ask ? services_->ApplyProfileSafely(this, name, profile, showScripts, ProgressTexts(),
                                                 SafeTexts(), keep.seconds)
                 : services_->ApplyProfile(this, name, profile, showScripts, ProgressTexts());
    if (applied) {
        const QString applied =
            Text("msgApplied")
                .arg(name, QString::fromStdString(profile.Interface),
                     QLocale().toString(QTime::currentTime(), QLocale::ShortFormat));
        StatusBar1->showMessage(applied);
        // Chosen from the tray, the window may be hidden: the tray says it too.
        if (Desktop != nullptr && Desktop->Tray() != nullptr && Desktop->Tray()->isVisible()) {
            Desktop->Tray()->showMessage(windowTitle(), applied);
        }
    }
    if (apply::AfterIPInfo(ReadOption(StoreTable2, apply::kAfterIPInfo))) {
        services_->ShowReport(this);
    }
}

bool TMainForm::ConnectionPresent(const apply::Profile& profile) {
    auto names = [](const QStringList& ids) {
        std::vector<std::string> list;
        for (const QString& id : ids) {
            list.push_back(Utf8(id));
        }
        return list;
    };
    std::vector<std::string> adapters = names(inventory_.ConnectionIDs);
    if (!apply::HasConnection(adapters, profile.Interface)) {
        // An adapter plugged in since the list was read counts too.
        inventory::TInventoryLists fresh;
        services_->ReadNetworkConnections(fresh);
        adapters = names(fresh.ConnectionIDs);
    }
    try {
        apply::CheckConnectionPresent(profile, adapters);
        return true;
    } catch (const apply::EUnknownConnection&) {
        Ask(QMessageBox::Warning,
            Text("msgUnknownConnection")
                .arg(QString::fromStdString(apply::ShownValue(profile.Name)),
                     QString::fromStdString(apply::ShownValue(profile.Interface)),
                     QString::fromStdString(apply::AdapterList(adapters))),
            QMessageBox::Ok);
        return false;
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
    FormStorage1->LanguageChosen = true;
    settings::SwitchLanguage(FormStorage1->Language, sender == acKorea, *QLanguage, this, texts_);
    ShowLanguageChoice();
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
    services_->OpenWebPage(this, WebPageUrl(kHelpPage));
}

void TMainForm::acQnAExecute() {
    services_->OpenWebPage(this, WebPageUrl(kQnAPage));
}

void TMainForm::acDonateExecute() {
    services_->OpenWebPage(this, WebPageUrl(kDonatePage));
}

void TMainForm::acRefreshExecute() {
    ReloadList();
}

void TMainForm::acIconExecute(QAction* sender) {
    QTreeWidgetItem* row = ListView1->Selected();
    const std::optional<apply::Profile> before = RowProfile(row);
    if (!before) {
        return;
    }
    apply::Profile after = *before;
    after.Icon = sender->property("imageIndex").toInt();
    switch (ChangeProfile(StoreTable1, *before, after)) {
        case ChangeOutcome::Saved:
            if (ReadProfile(StoreTable1).Name == Utf8(row->text(0))) {
                ListView1->SetRowImage(row, after.Icon);
            } else {
                LoadProfileList();
            }
            break;
        case ChangeOutcome::Gone:
            TellStaleRow(QString::fromStdString(before->Name));
            break;
        case ChangeOutcome::Unchanged:
        case ChangeOutcome::NameTaken:
            break;
    }
}

void TMainForm::ListView1Edited(QTreeWidgetItem* item, QString& name) {
    const QString old = item->text(0);
    if (name == old) {
        return;
    }
    // The row shows what the Name column keeps, so later commands find the record.
    const std::optional<QString> accepted = dialogs::AcceptedProfileName(this, name);
    name = accepted.value_or(old);
    if (name == old) {
        return;
    }
    std::optional<apply::Profile> before;
    if (FindRowRecord(item)) {
        before = ReadProfile(StoreTable1);
    }
    ChangeOutcome outcome = ChangeOutcome::Gone;
    if (before) {
        apply::Profile after = *before;
        after.Name = Utf8(name);
        // Checked and written as one step under the write lock: qic cannot add the name
        // in between, and the record is the one this row showed, whatever its name now.
        outcome = ChangeProfile(StoreTable1, *before, after);
    }
    if (outcome == ChangeOutcome::NameTaken) {
        Ask(QMessageBox::Warning, Text("msgAlreadyExists"), QMessageBox::Ok);
        name = old;
    } else if (outcome == ChangeOutcome::Gone) {
        name = old;
        // The row is still being edited: the list is read again once that is over.
        QTimer::singleShot(0, this, [this, old] { TellStaleRow(old); });
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
