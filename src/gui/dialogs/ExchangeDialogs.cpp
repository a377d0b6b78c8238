#include "gui/dialogs/ExchangeDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <optional>

#include "core/ConnectionCheck.h"
#include "core/ExchangeRules.h"
#include "core/ProfileChecks.h"
#include "core/ProfileExchange.h"
#include "gui/dialogs/ConnectionMapForm.h"
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

QMessageBox::StandardButton AskConflict(QWidget* owner, const QString& text) {
    widgets::TPlainMessageBox box(QMessageBox::Question, BoxCaption(owner), text,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::YesToAll |
                                      QMessageBox::NoToAll | QMessageBox::Cancel,
                                  owner);
    box.setObjectName(QStringLiteral("ImportConflictBox"));
    box.setEscapeButton(QMessageBox::Cancel);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

std::vector<std::string> ConnectionNames(IFormHost& host) {
    std::vector<std::string> adapters;
    for (const QString& id : host.Inventory().ConnectionIDs) {
        adapters.push_back(id.toStdString());
    }
    return adapters;
}

// Offers an adapter of this machine for each connection name of the file that it does not
// have; every profile using a name takes the adapter chosen for it. Nothing to offer
// before the adapters are read.
void MapUnknownConnections(QWidget* owner, IFormHost& host, std::vector<apply::Profile>& incoming) {
    if (host.Inventory().ConnectionIDs.isEmpty()) {
        return;
    }
    const std::vector<apply::UnknownConnection> unknown =
        apply::UnknownConnections(incoming, ConnectionNames(host));
    if (unknown.empty()) {
        return;
    }
    std::vector<std::string> names;
    for (const apply::UnknownConnection& u : unknown) {
        names.push_back(u.Connection);
    }
    TConnectionMapForm form(owner, names, host.Inventory().ConnectionIDs,
                            host.Inventory().AdapterNames,
                            host.MessageTexts().Text("msgMapConnections"),
                            host.MessageTexts().Text("msgKeepConnection"));
    if (form.exec() == QDialog::Accepted) {
        MapConnections(incoming, form.Mapping());
    }
}

// One box after an import: the sections left out with their reasons, and the imported
// profiles whose connection this machine does not have, with the adapters it has.
void TellImportResult(QWidget* owner, IFormHost& host, const TImportSummary& summary,
                      const std::vector<SkippedSection>& skipped) {
    const std::vector<std::string> adapters = ConnectionNames(host);
    // Before the adapters are read every connection would look unknown.
    const std::vector<apply::UnknownConnection> unknown =
        adapters.empty() ? std::vector<apply::UnknownConnection>{}
                         : apply::UnknownConnections(summary.Stored, adapters);
    if (skipped.empty() && unknown.empty()) {
        return;
    }
    QStringList parts;
    if (!skipped.empty()) {
        QStringList lines{host.MessageTexts().Text("msgImportSkipped")};
        for (const SkippedSection& s : skipped) {
            lines << QStringLiteral("[%1] %2: %3")
                         .arg(QString::fromStdString(s.Section),
                              QString::fromStdString(apply::ShownValue(s.Name)),
                              QString::fromStdString(s.Reason));
        }
        parts << lines.join(QLatin1Char('\n'));
    }
    if (!unknown.empty()) {
        QStringList lines{host.MessageTexts().Text("msgImportAttention")};
        for (const apply::UnknownConnection& u : unknown) {
            QStringList names;
            for (const std::string& name : u.Profiles) {
                names << QString::fromStdString(apply::ShownValue(name));
            }
            lines << QString::fromStdString(apply::ShownValue(u.Connection)) +
                         QStringLiteral(": ") + names.join(QStringLiteral(", "));
        }
        lines << host.MessageTexts()
                     .Text("msgAdaptersHere")
                     .arg(QString::fromStdString(apply::AdapterList(adapters)));
        parts << lines.join(QLatin1Char('\n'));
    }
    widgets::TPlainMessageBox box(QMessageBox::Information, BoxCaption(owner),
                                  parts.join(QStringLiteral("\n\n")), QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("ImportResultBox"));
    box.exec();
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
    std::vector<SkippedSection> skipped;
    TImportSummary summary;
    try {
        std::vector<apply::Profile> incoming = ReadExchangeFile(path, &skipped);
        MapUnknownConnections(owner, host, incoming);
        // "Yes to all" and "No to all" answer every later question alike.
        std::optional<bool> forAll;
        summary = ImportProfiles(
            host.ProfileTable(), incoming, [&](const std::string& name) -> std::optional<bool> {
                if (forAll) {
                    return forAll;
                }
                switch (AskConflict(owner, QLatin1Char('\'') + QString::fromStdString(name) +
                                               QStringLiteral("' ") + question)) {
                    case QMessageBox::Yes:
                        return true;
                    case QMessageBox::YesToAll:
                        return forAll = true;
                    case QMessageBox::NoToAll:
                        return forAll = false;
                    case QMessageBox::No:
                        return false;
                    default:
                        return std::nullopt;  // Cancel, or the box closed
                }
            });
    } catch (...) {
        // The sections committed before the failure stay, so the list must show them.
        host.LoadProfileList();
        throw;
    }
    host.LoadProfileList();
    TellImportResult(owner, host, summary, skipped);
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
