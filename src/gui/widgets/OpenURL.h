#pragma once

#include <QString>

class QWidget;

namespace quorv::widgets {

// Opens a web address in the desktop's browser; an empty address opens nothing, and the
// outcome is not examined.
void OpenURL(const QString& url);

// The hand pointer over a control with an address, the ordinary one otherwise.
void SetLinkCursor(QWidget* control, const QString& url);

}  // namespace quorv::widgets
