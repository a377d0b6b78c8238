#pragma once

#include <QString>

class QWidget;

namespace quorv::settings {

class TMessageTexts;
class TQLanguage;

// The main window's language operations. `language` is the stored value Language of the
// placement store ("Korea", "English" or anything else, which is settled on first use).

// "Korea" when the first non-empty of LC_ALL, LC_MESSAGES and LANG starts with "ko",
// otherwise "English".
QString SystemLanguage();

// Settles `language`, points the component at its file and translates the window.
void ApplyLanguage(QString& language, TQLanguage& qlanguage, QWidget* form);

// Every message text from the language file, or its built-in default where the file has
// none.
void LoadMessageTexts(const TQLanguage& qlanguage, TMessageTexts& texts);

// The main window before it first shows: its built-in texts are Korean, so the Korean
// file is only pointed at, not applied; then the messages are loaded.
void StartLanguage(QString& language, TQLanguage& qlanguage, QWidget* mainForm,
                   TMessageTexts& texts);

// The language command: "Korea" for the Korea action, "English" for the other one.
void SwitchLanguage(QString& language, bool korea, TQLanguage& qlanguage, QWidget* mainForm,
                    TMessageTexts& texts);

}  // namespace quorv::settings
