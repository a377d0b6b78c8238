#include "gui/main/WebPages.h"

#include <QDesktopServices>
#include <QString>

namespace quorv::app {

QUrl WebPageUrl(const char* pathAndQuery) {
    return QUrl(QStringLiteral(QUORV_WEB_HOST) + QString::fromLatin1(pathAndQuery));
}

void OpenWebPage(const char* pathAndQuery) {
    QDesktopServices::openUrl(WebPageUrl(pathAndQuery));
}

}  // namespace quorv::app
