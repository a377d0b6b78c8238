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
// Not an auto-default button, so dialogs without a default button take no Enter.
QPushButton* NewButton(const QString& caption, const char* name, QWidget* parent);
// Enter presses `ok`, unless another button of the dialog has the focus: that one then.
void UseAsDefault(QWidget* dialog, QPushButton* ok);
// When the focus leaves `address` with `mask` still empty, the mask of the address's
// class is filled in, as the Windows dialog does; the user may change it.
void FillMaskOnLeave(TIPAddrEdit* address, TIPAddrEdit* mask);

// The add-or-edit dialogs are in edit mode exactly when btnOK reads msgOK, which only the
// opener sets. A language whose add caption reads the same would make every new profile
// look like an edit, so the built-in add caption is kept then.
void KeepInsertCaption(QPushButton* btnOK);

}  // namespace quorv::dialogs
