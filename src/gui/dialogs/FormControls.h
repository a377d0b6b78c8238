#pragma once

#include <QLabel>
#include <QPushButton>

#include "gui/widgets/IPAddrEdit.h"

namespace quorv::dialogs {

// Controls as the dialogs create them, each with its name.
QLabel* NewLabel(const QString& caption, const char* name, QWidget* parent);
TIPAddrEdit* NewAddress(const char* name, QWidget* parent);
// Places an address control of the classic 100 x 21 at x, y; one the font makes wider
// keeps that right edge, so it stays beside its label and inside its group.
void PlaceAddress(TIPAddrEdit* edit, int x, int y);
// Places every address control of a form again, for a font the language has set.
void PlaceAddressesAgain(QWidget* form);
// Never an auto-default button: Enter in an address box must not press OK.
QPushButton* NewButton(const QString& caption, const char* name, QWidget* parent);

// The add-or-edit dialogs are in edit mode exactly when btnOK reads msgOK, which only the
// opener sets. A language whose add caption reads the same would make every new profile
// look like an edit, so the built-in add caption is kept then.
void KeepInsertCaption(QPushButton* btnOK);

}  // namespace quorv::dialogs
