#pragma once

#include <QString>

class QWidget;

namespace quorv::settings {
class IFormHost;
}

namespace quorv::dialogs {

// The main window that lends the dialogs its inventory lists and texts. Without one the
// dialogs cannot offer connections and printers, so asking for it then is an error.
settings::IFormHost& Host();

// A message text of the main window, or its built-in default when none is set.
QString Message(const char* key);

// The language step of every dialog's creation.
void ApplyLanguage(QWidget* form);

}  // namespace quorv::dialogs
