#pragma once

#include <QMessageBox>
#include <QString>
#include <QTextDocument>

namespace quorv::widgets {

// Texts from files (language files, .qic files, the data file) are shown as they are:
// Qt guesses rich text from a leading tag, and a name such as "<img src=/dev/zero>"
// would make it read a device until memory runs out.

// A tool tip that shows `text` as it is, for widgets whose tip Qt would otherwise guess.
inline QString PlainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text)) {
        return text;
    }
    return QStringLiteral("<qt>") +
           text.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>")) +
           QStringLiteral("</qt>");
}

// A message box that shows its text as it is: boxes say profile names, file names and
// errors that come from files.
class TPlainMessageBox : public QMessageBox {
  public:
    TPlainMessageBox(Icon icon, const QString& title, const QString& text,
                     StandardButtons buttons = NoButton, QWidget* parent = nullptr)
        : QMessageBox(icon, title, text, buttons, parent) {
        setTextFormat(Qt::PlainText);
    }
};

}  // namespace quorv::widgets
