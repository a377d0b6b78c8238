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

}  // namespace quorv::dialogs
