#pragma once

#include <QString>

namespace quorv::settings {

// Qt's own texts (message box buttons, file dialogs, the context menu of text fields) in
// the program's language: Qt's Korean catalogue for "Korea", none for "English". A missing
// catalogue leaves Qt's English texts.
void UseQtTexts(const QString& language);

// The folder Qt's catalogues are read from; tests point it elsewhere.
void SetQtTranslationsFolder(const QString& folder);

}  // namespace quorv::settings
