#pragma once

class QWidget;

namespace quorv::settings {

// Puts the window's frame in the middle of the free area of its screen (the primary one
// before it has a screen of its own).
void CenterOnScreen(QWidget& window);

}  // namespace quorv::settings
