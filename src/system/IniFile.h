#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "base/Exception.h"
#include "system/ReplaceFile.h"

namespace quorv::platform {

// Raised when an INI file cannot be read or written, or a name or value cannot be stored.
// what() is a complete sentence naming the file.
class EIniError : public Exception {
  public:
    using Exception::Exception;
};

// Sanity caps for reading untrusted files. They refuse a file outright; nothing is ever cut.
struct TIniLimits {
    qint64 MaxFileBytes = 16 * 1024 * 1024;
    qsizetype MaxLineLength = 256 * 1024;
};

// An INI ("profile string") file held in memory, with the semantics Windows programs expect:
//
//  - Section and key names ignore case. Names, keys and values are trimmed of blanks; one
//    pair of surrounding quotes ('...' or "...") is removed from a value.
//  - When a section name occurs twice, the first section wins: lookups and writes go to it,
//    and Sections() lists the name once, at its first position. Likewise for a key repeated
//    inside a section.
//  - Lines starting with ';' are comments. Lines that are neither a section header nor
//    "key=value" are kept but carry no meaning. Keys before the first section are kept but
//    never found; KeysOutsideSections() counts them so strict readers can refuse the file.
//  - Writing a key replaces its line in place; a new key goes after the last key of its
//    section, a new section to the end of the file. Every other line is kept as it was.
//
// Text: a file is read as UTF-8 (a leading BOM skipped); when it is not valid UTF-8 it is
// read as CP949 (the Korean Windows code page). Files are written as UTF-8 without a BOM,
// with the line ending the file had (CR LF for a new file), atomically: a failed write
// leaves the old file intact.
//
// Typical use parses once per operation:
//     TIniFile ini = TIniFile::Load(path);          // missing file: empty document
//     QString v = ini.Value("Message", "msgOK");
//     ini.SetValue("Section", "Key", "value");
//     ini.Save(path);
//
// There are no fixed buffer sizes: values and section lists of any length are read whole.
class TIniFile {
  private:
    struct TSection;

  public:
    TIniFile() = default;

    // One section for reading many keys: the caller folds each key name once (FoldedName)
    // instead of every lookup folding the section and the key again. Valid while the
    // document is neither changed nor destroyed.
    class TSectionReader {
      public:
        const QString& Name() const;
        // The value of a key given as FoldedName gives it, or nothing when missing.
        std::optional<QStringView> Find(const QString& foldedKey) const;

      private:
        friend class TIniFile;
        explicit TSectionReader(const TSection* section) : section_(section) {}
        const TSection* section_;
    };
    // The sections Sections() names, in the same order.
    std::vector<TSectionReader> SectionReaders() const;
    // A section or key name as lookups compare it (trimmed, case folded).
    static QString FoldedName(const QString& name) { return Fold(QStringView(name).trimmed()); }

    // Reads and parses `path`. A missing file gives an empty document. Throws EIniError
    // when the path is a directory, cannot be read, exceeds `limits`, or is not text
    // (NUL or other control bytes, or neither UTF-8 nor CP949).
    static TIniFile Load(const QString& path, const TIniLimits& limits = {});
    // Parses file contents already in memory; the same rules and errors as Load.
    static TIniFile Parse(const QByteArray& bytes, const TIniLimits& limits = {});

    // Section names in file order, each distinct name once (its first spelling).
    QStringList Sections() const;
    bool HasSection(const QString& section) const;
    // Key names of a section in file order, each once; empty for a missing section.
    QStringList Keys(const QString& section) const;
    // The value of a key, or nullopt when the section or key is missing.
    std::optional<QString> Find(const QString& section, const QString& key) const;
    QString Value(const QString& section, const QString& key,
                  const QString& defaultValue = QString()) const;
    // Number of "key=value" lines before the first section.
    int KeysOutsideSections() const { return keysOutsideSections_; }

    // Sets a key, creating the section when missing. A value that would not read back
    // unchanged (surrounding blanks or quotes) is written inside an extra pair of quotes.
    // Throws EIniError for a line break in any argument, a ']' in the section name, an
    // '=' in the key, or an empty section or key name.
    void SetValue(const QString& section, const QString& key, const QString& value);
    // Removes a key or a whole section (every section of that name); no-op when missing.
    void RemoveKey(const QString& section, const QString& key);
    void RemoveSection(const QString& section);

    QByteArray ToUtf8() const;
    // Writes the document to `path` atomically (ReplaceFile); throws EIniError with the
    // reason.
    void Save(const QString& path, TFileMode mode = TFileMode::KeepExisting) const;

  private:
    struct TLine {
        // The line without its line ending: a view into the document's text as read, or
        // into Own for a line written since. One file holds many lines; few are changed.
        QStringView Text;
        QString Own;
        // Where the trimmed key and the trimmed, unquoted value lie in Text; a line without
        // a key has KeyLength 0. Views, not copies: a file has many lines and few are read.
        qsizetype KeyAt = 0;
        qsizetype KeyLength = 0;
        qsizetype ValueAt = 0;
        qsizetype ValueLength = 0;
        bool HasKey() const { return KeyLength > 0; }
        QStringView Key() const { return QStringView(Text).sliced(KeyAt, KeyLength); }
        QStringView Value() const { return QStringView(Text).sliced(ValueAt, ValueLength); }
    };
    struct TSection {
        QString Name;
        TLine Header;
        std::vector<TLine> Lines;
        // Folded key -> first line holding it, kept only for sections of many keys: an
        // exchange file has thousands of sections of a dozen keys, where building a table
        // costs more than the few lookups it serves.
        QHash<QString, int> KeyIndex;
        // The first line holding the key, or -1.
        int FindKey(const QString& foldedKey) const;
        void Reindex();
    };

    static QString Fold(QStringView name);
    // Whether `name` folds to `folded`, without making the folded copy for ASCII names.
    static bool FoldsTo(QStringView name, QStringView folded);
    static TLine ParseLine(QStringView text);
    static TLine OwnLine(QString text);
    TSection* FirstSection(const QString& name);
    const TSection* FirstSection(const QString& name) const;
    void ReindexSections();

    QString text_;  // the text as read, which the lines' views point into
    std::vector<TLine> preamble_;
    std::vector<TSection> sections_;
    QHash<QString, int> sectionIndex_;  // folded name -> first section
    int keysOutsideSections_ = 0;
    QString eol_ = QStringLiteral("\r\n");
    bool finalEol_ = true;
};

// One-shot helpers in the shape of the Windows profile-string calls. Each parses the file
// once; for several keys, load a TIniFile instead. Errors as for TIniFile.
QString ReadProfileString(const QString& path, const QString& section, const QString& key,
                          const QString& defaultValue = QString());
void WriteProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value);
QStringList ReadSectionNames(const QString& path);

}  // namespace quorv::platform
