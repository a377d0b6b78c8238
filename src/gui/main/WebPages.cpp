#include "gui/main/WebPages.h"

#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QWidget>

#include "gui/frame/FormHost.h"
#include "gui/frame/MessageTexts.h"
#include "gui/widgets/PlainText.h"

namespace quorv::app {

namespace {

void TellAddress(QWidget* owner, const QUrl& url) {
    const settings::IFormHost* host = settings::FormHost();
    const QString text = host ? host->MessageTexts().Text("msgOpenAddress")
                              : QStringLiteral("No web browser could be opened.\n%1");
    widgets::TPlainMessageBox box(QMessageBox::Information, QStringLiteral("Quorv IP Changer"),
                                  text.arg(url.toString()), QMessageBox::Ok, owner);
    box.setObjectName("WebAddressBox");
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

}  // namespace

QUrl WebPageUrl(const char* pathAndQuery) {
    return QUrl(QStringLiteral(QUORV_WEB_HOST) + QString::fromLatin1(pathAndQuery));
}

void OpenWebAddress(QWidget* owner, const QUrl& url) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(url)) {
            TellAddress(owner, url);
        }
        return;
    }
    // xdg-open says by its exit status whether it found a browser, which
    // QDesktopServices does not pass on. It is not parented: a browser it runs in the
    // foreground must outlive this program.
    auto* process = new QProcess;
    process->setProgram(opener);
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QPointer<QWidget> guard(owner);
    QObject::connect(process, &QProcess::finished, process,
                     [process, guard, url](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (code != 0 || status != QProcess::NormalExit) {
                             TellAddress(guard, url);
                         }
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, guard, url](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             process->deleteLater();
                             TellAddress(guard, url);
                         }
                     });
    process->start();
}

}  // namespace quorv::app
