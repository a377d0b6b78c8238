#include "gui/widgets/OpenURL.h"

#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

namespace quorv::widgets {

void OpenURL(const QString& url) {
    if (!url.isEmpty()) {
        QDesktopServices::openUrl(QUrl(url));
    }
}

void SetLinkCursor(QWidget* control, const QString& url) {
    if (url.isEmpty()) {
        control->unsetCursor();
    } else {
        control->setCursor(Qt::PointingHandCursor);
    }
}

}  // namespace quorv::widgets
