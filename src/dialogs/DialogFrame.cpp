#include "dialogs/DialogFrame.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

#include "base/Exception.h"
#include "settings/FormHost.h"
#include "settings/MessageTexts.h"

namespace quorv::dialogs {

void SetFixedDialogFrame(QDialog* dialog, int clientWidth, int clientHeight) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    dialog->setFixedSize(clientWidth, clientHeight);
    dialog->setSizeGripEnabled(false);
}

void CenterOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

settings::IFormHost& Host() {
    settings::IFormHost* host = settings::FormHost();
    if (host == nullptr) {
        throw Exception("The profile dialogs need the main window");
    }
    return *host;
}

QString Message(const char* key) {
    if (settings::IFormHost* host = settings::FormHost()) {
        return host->MessageTexts().Text(key);
    }
    static const settings::TMessageTexts defaults;
    return defaults.Text(key);
}

void ApplyLanguage(QWidget* form) {
    if (settings::IFormHost* host = settings::FormHost()) {
        host->ApplyLanguage(form);
    }
}

}  // namespace quorv::dialogs
