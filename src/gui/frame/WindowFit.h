#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

namespace quorv::settings {

// Everything here is in Qt's device-independent pixels, the units of a window's geometry
// and of a screen's available area at any scale factor, so that a rectangle stored at one
// scale is judged against the screen in the units it is applied in.

// What the window manager's frame adds around a window's client area. Before a window is
// first shown on X11 it is not known yet: a usual title bar and border are assumed then.
QMargins FrameMargins(const QWidget* window);

// The client rectangle moved, and shrunk where it is larger, so that it lies inside area
// together with its frame: title bar and menu stay reachable.
QRect FitClientRect(QRect client, const QRect& area, const QMargins& frame);

// The screen that shows most of rect; the primary one when none shows any of it.
QScreen* ScreenShowing(const QRect& rect);

// A client rectangle of the designed size, shrunk to fit the screen's available area with
// its frame, centred on that area.
QRect CentredClientRect(QSize designed, const QScreen* screen, const QMargins& frame);

// Moves (and shrinks) a shown window back inside the available area of its screen with its
// real frame. Nothing happens while it lies inside already. False when the window manager
// has not told the frame yet: nothing was judged, ask again later.
bool KeepOnScreen(QWidget* window);

}  // namespace quorv::settings
