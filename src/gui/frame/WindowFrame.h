#pragma once

class QDialog;
class QWidget;

namespace quorv::settings {

// A single fixed border with the system menu and close button only, and a fixed client area.
void SetFixedDialogFrame(QDialog& dialog, int clientWidth, int clientHeight);

// Puts the window's frame in the middle of the free area of its screen (the primary one
// before it has a screen of its own).
void CenterOnScreen(QWidget& window);

}  // namespace quorv::settings
