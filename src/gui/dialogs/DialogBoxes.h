#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace quorv::apply {
class RefusedValue;
}

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

// The OK check of an address and its mask: one with empty boxes is refused as incomplete,
// a text that is not a dotted quad with msgWrongIP or msgWrongMask; the focus goes to its
// control.
bool CheckAddressPair(QWidget* dialog, TIPAddrEdit* address, TIPAddrEdit* mask);
// Refuses an address with some boxes left empty (msgIncompleteAddress, naming the field by
// its label) and focuses it.
bool CheckComplete(QWidget* dialog, TIPAddrEdit* edit);

// A value the shared checks refused: the message of its kind (msgWrongIP, msgWrongMask,
// msgWrongGateway, msgWrongDNS) over the reason, and the focus on `field`.
void ShowRefusal(QWidget* dialog, const apply::RefusedValue& refused, QWidget* field);

}  // namespace quorv::dialogs
