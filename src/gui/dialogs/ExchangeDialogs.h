#pragma once

#include <QString>

#include <functional>

class QFileDialog;
class QWidget;

namespace quorv::settings {

// Shows a prepared file dialog (OpenDialog1 or SaveDialog1) and returns the chosen file,
// or an empty text when the user cancelled. Tests replace it to choose without a window.
using TFileChooser = std::function<QString(QFileDialog& dialog)>;
// An empty chooser restores the dialog's own modal run.
void SetFileChooser(TFileChooser chooser);

// The "파일" menu's import command: reads every profile of a chosen .qic file into the
// profile table of FormHost() and refills the list. Connection names this machine lacks
// may first be pointed at its adapters (TConnectionMapForm); before it overwrites a
// profile of the same name it asks Yes, No, Yes to all, No to all or Cancel (which stops
// before that profile, keeping what came before). One box then names the sections left
// out and the profiles whose connection is not here. A failure refills the list so it
// agrees with the table and propagates to the caller's standard error box.
void acOpenExecute(QWidget* owner);

// The export command: writes every profile to a chosen .qic file, replacing the file as a
// whole. A failure is shown in a warning box and leaves an existing file unchanged.
void acSaveExecute(QWidget* owner);

}  // namespace quorv::settings
