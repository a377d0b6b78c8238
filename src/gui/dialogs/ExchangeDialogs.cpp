#include "gui/dialogs/ExchangeDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "core/ExchangeRules.h"
#include "core/ProfileExchange.h"
#include "gui/frame/FormHost.h"
#include "gui/frame/MessageTexts.h"
#include "gui/widgets/PlainText.h"
#include "store/StoreTable.h"

namespace quorv::settings {

namespace {

TFileChooser& Chooser() {
    static TFileChooser chooser;
    return chooser;
}

QString Choose(QFileDialog& dialog) {
    if (Chooser()) {
        return Chooser()(dialog);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

QString BoxCaption(QWidget* owner) {
    return owner != nullptr && !owner->window()->windowTitle().isEmpty()
               ? owner->window()->windowTitle()
               : QStringLiteral("Quorv IP Changer");
}

bool AskYesNo(QWidget* owner, const char* name, const QString& text) {
    widgets::TPlainMessageBox box(QMessageBox::Question, BoxCaption(owner), text,
                                  QMessageBox::Yes | QMessageBox::No, owner);
    box.setObjectName(QLatin1String(name));
    return box.exec() == QMessageBox::Yes;
}

IFormHost& Host() {
    IFormHost* host = FormHost();
    if (host == nullptr) {
        throw Exception("The main window is not there to take the profiles.");
    }
    return *host;
}

}  // namespace

void SetFileChooser(TFileChooser chooser) {
    Chooser() = std::move(chooser);
}

void acOpenExecute(QWidget* owner) {
    QFileDialog OpenDialog1(owner);
    OpenDialog1.setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1.setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1.setFileMode(QFileDialog::ExistingFile);
    OpenDialog1.setNameFilter(QLatin1String(kExchangeFilter));
    const QString path = Choose(OpenDialog1);
    if (path.isEmpty()) {
        return;
    }

    IFormHost& host = Host();
    const QString question = host.MessageTexts().Text("msgAlreadyUpdate");
    try {
        const std::vector<apply::Profile> incoming = ReadExchangeFile(path);
        ImportProfiles(host.ProfileTable(), incoming, [&](const std::string& name) {
            return AskYesNo(
                owner, "ImportConflictBox",
                QLatin1Char('\'') + QString::fromStdString(name) + QStringLiteral("' ") + question);
        });
    } catch (...) {
        // The sections posted before the failure stay, so the list must show them.
        host.LoadProfileList();
        throw;
    }
    host.LoadProfileList();
}

void acSaveExecute(QWidget* owner) {
    QFileDialog SaveDialog1(owner);
    SaveDialog1.setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1.setFileMode(QFileDialog::AnyFile);
    SaveDialog1.setNameFilter(QLatin1String(kExchangeFilter));
    SaveDialog1.setDefaultSuffix(QStringLiteral("qic"));
    const QString chosen = Choose(SaveDialog1);
    if (chosen.isEmpty()) {
        return;
    }
    const QString path = WithExchangeExtension(chosen);
    // The dialog asked about the name it returned; a name we extended is asked about here.
    if (path != chosen && QFileInfo::exists(path) &&
        !AskYesNo(owner, "ExportReplaceBox",
                  QObject::tr("%1 already exists.\nDo you want to replace it?")
                      .arg(QFileInfo(path).fileName()))) {
        return;
    }
    try {
        std::vector<std::string> split;
        ExportProfiles(Host().ProfileTable(), path, &split);
        if (!split.empty()) {
            QStringList names;
            for (const std::string& name : split) {
                names << QString::fromStdString(name);
            }
            widgets::TPlainMessageBox box(
                QMessageBox::Information, BoxCaption(owner),
                QStringLiteral("A script line of these profiles holds a comma. The file keeps "
                               "script lines apart with commas, so importing it gives such a "
                               "line back as two lines:\n\n") +
                    names.join(QLatin1Char('\n')),
                QMessageBox::Ok, owner);
            box.setObjectName(QStringLiteral("ExportCommaBox"));
            box.exec();
        }
    } catch (const std::exception& e) {
        widgets::TPlainMessageBox box(QMessageBox::Warning, BoxCaption(owner),
                                      QString::fromStdString(e.what()), QMessageBox::Ok, owner);
        box.setObjectName(QStringLiteral("ExportFailureBox"));
        box.exec();
    }
}

}  // namespace quorv::settings
