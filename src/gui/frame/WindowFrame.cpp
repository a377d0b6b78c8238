#include "gui/frame/WindowFrame.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

namespace quorv::settings {

void SetFixedDialogFrame(QDialog& dialog, int clientWidth, int clientHeight) {
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint);
    dialog.setFixedSize(clientWidth, clientHeight);
    dialog.setSizeGripEnabled(false);
}

void CenterOnScreen(QWidget& window) {
    if (QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

}  // namespace quorv::settings
