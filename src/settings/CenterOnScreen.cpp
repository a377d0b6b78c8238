#include "settings/CenterOnScreen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quorv::settings {

void CenterOnScreen(QWidget& window) {
    if (QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

}  // namespace quorv::settings
