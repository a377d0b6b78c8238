#pragma once

#include <QLabel>
#include <QPushButton>

#include "dialogs/IPAddrEdit.h"

namespace quorv::dialogs {

// Controls as the dialogs create them, each with its name.
QLabel* NewLabel(const QString& caption, const char* name, QWidget* parent);
TIPAddrEdit* NewAddress(const char* name, QWidget* parent);
// Never an auto-default button: Enter in an address box must not press OK.
QPushButton* NewButton(const QString& caption, const char* name, QWidget* parent);

// The add-or-edit dialogs are in edit mode exactly when btnOK reads msgOK, which only the
// opener sets. A language whose add caption reads the same would make every new profile
// look like an edit, so the built-in add caption is kept then.
void KeepInsertCaption(QPushButton* btnOK);

}  // namespace quorv::dialogs
