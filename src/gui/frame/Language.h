#pragma once

#include <QString>

#include <optional>

#include "system/IniFile.h"

class QWidget;

namespace quorv::settings {

// The language component: points at one language file in the Language folder beside the
// program and applies its sections to windows. A missing file is not an error: windows
// keep their texts and every message read is empty.
class TQLanguage {
  public:
    // The folder language files are looked up in; tests point it elsewhere.
    explicit TQLanguage(QString languageFolder = DefaultFolder());

    // "<program folder>/Language".
    static QString DefaultFolder();

    QString FileName() const { return fileName_; }
    // An empty text clears the name; any other keeps only its file-name part, taken from
    // the Language folder whatever folder the text names.
    void SetFileName(const QString& name);

    void TranslateForm(QWidget* form);
    void TranslateSection(QWidget* form, const QString& section);
    // The key's text in section Message with "#13#10" as CR LF; empty when missing.
    QString ReadMessage(const QString& key) const;
    // The same for several keys, reading the file once.
    QStringList ReadMessages(const QStringList& keys) const;

    // Why the current file could not be read (damaged, not text, too large), once per
    // file: a file that cannot be read translates nothing, so the built-in Korean texts
    // stay, and the caller says so. Empty when there is nothing new to say.
    QString TakeProblem();

  private:
    // The file, or nothing when there is none or it cannot be read.
    std::optional<platform::TIniFile> Load() const;

    QString folder_;
    QString fileName_;
    mutable QString problem_;
    mutable QString reportedFile_;
};

// "#13#10" in a language file's value stands for a line break.
QString ExpandLineBreaks(const QString& value);

// Splits a window-section value into caption and hint: the hint is the text after the
// first "|", or the caption, with every "&" removed.
struct TCaptionHint {
    QString Caption;
    QString Hint;
};
TCaptionHint SplitCaptionHint(const QString& value);

}  // namespace quorv::settings
