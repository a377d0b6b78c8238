#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace quorv::dialogs {

class TIPAddrEdit;

// A refusal of user input: a warning box with one OK button.
void ShowWarning(QWidget* parent, const QString& text);

// A failure of an operation the dialog could not finish: an error box with one OK button.
void ShowError(QWidget* parent, const QString& text);

// Runs a handler of a button or a start step. An exception it raises is shown in the
// error box and counts as "did not run through", so an OK step never accepts after one.
// True exactly when the handler returned true.
bool RunGuarded(QWidget* parent, const std::function<bool()>& handler);

// Puts a stored address into a control. One the control refuses is reported in the error
// box and leaves the control empty, so the caller can go on with the other values.
void FillAddress(TIPAddrEdit* edit, const QString& text);

// The OK check of an address and its mask: a text that is not a dotted quad is refused
// with msgWrongIP or msgWrongMask and the focus goes to its control.
bool CheckAddressPair(QWidget* dialog, TIPAddrEdit* address, TIPAddrEdit* mask);

}  // namespace quorv::dialogs
