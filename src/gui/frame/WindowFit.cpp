#include "gui/frame/WindowFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace quorv::settings {

namespace {

// Openbox, Xfwm and Mutter draw title bars of 20 to 30 pixels and borders of 1 to 4.
constexpr QMargins kAssumedFrame(4, 30, 4, 4);

bool HasWindowManagerFrames() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

}  // namespace

QMargins FrameMargins(const QWidget* window) {
    if (window->isVisible()) {
        const QRect frame = window->frameGeometry();
        const QRect client = window->geometry();
        const QMargins real(client.left() - frame.left(), client.top() - frame.top(),
                            frame.right() - client.right(), frame.bottom() - client.bottom());
        if (!real.isNull() || !HasWindowManagerFrames()) {
            return real;
        }
    }
    return HasWindowManagerFrames() ? kAssumedFrame : QMargins();
}

QRect FitClientRect(QRect client, const QRect& area, const QMargins& frame) {
    const QRect room = area.marginsRemoved(frame);
    if (room.isEmpty()) {
        return client;
    }
    client.setWidth(std::min(client.width(), room.width()));
    client.setHeight(std::min(client.height(), room.height()));
    client.moveLeft(std::clamp(client.left(), room.left(), room.right() - client.width() + 1));
    client.moveTop(std::clamp(client.top(), room.top(), room.bottom() - client.height() + 1));
    return client;
}

QScreen* ScreenShowing(const QRect& rect) {
    QScreen* best = QGuiApplication::primaryScreen();
    long long bestArea = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect shared = screen->geometry().intersected(rect);
        const long long area = shared.isEmpty() ? 0 : 1LL * shared.width() * shared.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

QRect CentredClientRect(QSize designed, const QScreen* screen, const QMargins& frame) {
    QRect client(QPoint(0, 0), designed);
    if (screen == nullptr) {
        return client;
    }
    const QRect area = screen->availableGeometry();
    client = FitClientRect(client, area, frame);
    QRect framed = client.marginsAdded(frame);
    framed.moveCenter(area.center());
    return FitClientRect(framed.marginsRemoved(frame), area, frame);
}

bool KeepOnScreen(QWidget* window) {
    if (!window->isVisible() || window->isMaximized() || window->isFullScreen()) {
        return true;
    }
    const QRect client = window->geometry();
    const QMargins frame = FrameMargins(window);
    // Until the window manager's frame is known, the assumed one would move a window that
    // sits right below the top edge.
    if (HasWindowManagerFrames() && client == window->frameGeometry()) {
        return false;
    }
    const QScreen* screen = ScreenShowing(window->frameGeometry());
    if (screen == nullptr) {
        return true;
    }
    const QRect fitted = FitClientRect(client, screen->availableGeometry(), frame);
    if (fitted != client) {
        window->setGeometry(fitted);
    }
    return true;
}

}  // namespace quorv::settings
