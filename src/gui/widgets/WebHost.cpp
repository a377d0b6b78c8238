#include "gui/widgets/WebHost.h"

#include <QUrl>

namespace quorv::widgets {

QString WebHost() {
    return QStringLiteral(QUORV_WEB_HOST);
}

QString WebHostName() {
    return QUrl(WebHost()).host();
}

QString WebAddress(const char* pathAndQuery) {
    return WebHost() + QString::fromUtf8(pathAndQuery);
}

}  // namespace quorv::widgets
