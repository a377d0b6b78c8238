#include "system/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "system/LegacyText.h"

namespace quorv::platform {

namespace {

QString Quoted(const QString& path) {
    return QLatin1Char('"') + path + QLatin1Char('"');
}

// Tab, CR and LF are the only control characters a text file may hold.
bool HasControlCharacter(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != u'\t' && u != u'\r' && u != u'\n') {
            return true;
        }
    }
    return false;
}

bool IsQuote(QChar c) {
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

QString Unquote(const QString& value) {
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
        return value.mid(1, value.size() - 2);
    }
    return value;
}

bool HasLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

}  // namespace

namespace {

// Folding of an ASCII character: lowering.
char16_t AsciiFolded(char16_t u) {
    return u >= u'A' && u <= u'Z' ? static_cast<char16_t>(u + (u'a' - u'A')) : u;
}

bool IsAscii(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

}  // namespace

QString TIniFile::Fold(QStringView name) {
    // Names are nearly always ASCII, where folding is lowering; the full Unicode folding is
    // kept for the rest.
    if (!IsAscii(name)) {
        return name.toString().toCaseFolded();
    }
    QString folded(name.size(), Qt::Uninitialized);
    QChar* out = folded.data();
    for (QChar c : name) {
        *out++ = QChar(AsciiFolded(c.unicode()));
    }
    return folded;
}

bool TIniFile::FoldsTo(QStringView name, QStringView folded) {
    if (!IsAscii(name)) {
        return Fold(name) == folded;
    }
    return std::equal(name.begin(), name.end(), folded.begin(), folded.end(),
                      [](QChar a, QChar b) { return AsciiFolded(a.unicode()) == b.unicode(); });
}

namespace {
// Up to this many keys a section is searched line by line.
constexpr int kUnindexedKeys = 24;
}  // namespace

void TIniFile::TSection::Reindex() {
    KeyIndex.clear();
    const auto keys =
        std::count_if(Lines.begin(), Lines.end(), [](const TLine& line) { return line.HasKey(); });
    if (keys <= kUnindexedKeys) {
        return;
    }
    // The first of two equal keys wins: walk backwards so earlier lines overwrite.
    for (int i = static_cast<int>(Lines.size()) - 1; i >= 0; --i) {
        if (Lines[i].HasKey()) {
            KeyIndex.insert(Fold(Lines[i].Key()), i);
        }
    }
}

int TIniFile::TSection::FindKey(const QString& foldedKey) const {
    if (!KeyIndex.isEmpty()) {
        return KeyIndex.value(foldedKey, -1);
    }
    for (int i = 0; i < static_cast<int>(Lines.size()); ++i) {
        if (Lines[i].HasKey() && FoldsTo(Lines[i].Key(), foldedKey)) {
            return i;
        }
    }
    return -1;
}

TIniFile::TLine TIniFile::ParseLine(QStringView text) {
    TLine line;
    line.Text = text;
    const QStringView trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char(';'))) {
        return line;
    }
    const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
    if (eq > 0) {
        const QStringView key = trimmed.left(eq).trimmed();
        QStringView value = trimmed.sliced(eq + 1).trimmed();
        if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
            value = value.sliced(1, value.size() - 2);
        }
        line.KeyAt = key.data() - text.data();
        line.KeyLength = key.size();
        line.ValueAt = value.data() - text.data();
        line.ValueLength = value.size();
    }
    return line;
}

TIniFile::TLine TIniFile::OwnLine(QString text) {
    // The view stays valid: moving a QString keeps its characters where they are.
    TLine line = ParseLine(text);
    line.Own = std::move(text);
    return line;
}

TIniFile TIniFile::Load(const QString& path, const TIniLimits& limits) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        return TIniFile();
    }
    if (info.isDir()) {
        throw EIniError("Cannot read " + Quoted(path).toStdString() + ": it is a folder.");
    }
    // Opened without blocking and judged by what was opened: a pipe or a device named
    // like a settings or exchange file would otherwise hang the program or feed it forever.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw EIniError("Cannot read " + Quoted(path).toStdString() + ": " + std::strerror(errno) +
                        ".");
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EIniError("Cannot read " + Quoted(path).toStdString() +
                        ": it is not a regular file.");
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw EIniError("Cannot read " + Quoted(path).toStdString() + ": " +
                        file.errorString().toStdString() + ".");
    }
    if (file.size() > limits.MaxFileBytes) {
        throw EIniError("Cannot read " + Quoted(path).toStdString() + ": the file is larger than " +
                        std::to_string(limits.MaxFileBytes / (1024 * 1024)) + " MB.");
    }
    // Read one byte past the cap so a file growing underneath is caught as well.
    const QByteArray bytes = file.read(limits.MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        throw EIniError("Cannot read " + Quoted(path).toStdString() + ": " +
                        file.errorString().toStdString() + ".");
    }
    try {
        return Parse(bytes, limits);
    } catch (const EIniError& e) {
        throw EIniError("Cannot read " + Quoted(path).toStdString() + ": " + e.what());
    }
}

TIniFile TIniFile::Parse(const QByteArray& bytes, const TIniLimits& limits) {
    if (bytes.size() > limits.MaxFileBytes) {
        throw EIniError("the file is larger than " +
                        std::to_string(limits.MaxFileBytes / (1024 * 1024)) + " MB.");
    }
    if (!IsUtf16WithBom(bytes) && bytes.contains('\0')) {
        throw EIniError("it is not a text file.");
    }
    const std::optional<QString> decoded = DecodeUtf8OrCp949(bytes);
    if (!decoded || HasControlCharacter(*decoded)) {
        throw EIniError("it is not a text file.");
    }
    TIniFile ini;
    ini.text_ = *decoded;
    const QString& text = ini.text_;
    ini.finalEol_ =
        text.isEmpty() || text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'));
    const qsizetype firstBreak = text.indexOf(QLatin1Char('\n'));
    if (firstBreak >= 0) {
        const bool crlf = firstBreak > 0 && text[firstBreak - 1] == QLatin1Char('\r');
        ini.eol_ = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    }

    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && text[end] != QLatin1Char('\n') && text[end] != QLatin1Char('\r')) {
            ++end;
        }
        if (end - start > limits.MaxLineLength) {
            throw EIniError("a line is longer than " + std::to_string(limits.MaxLineLength) +
                            " characters.");
        }
        const QStringView lineText = QStringView(text).sliced(start, end - start);
        if (end < size && text[end] == QLatin1Char('\r') && end + 1 < size &&
            text[end + 1] == QLatin1Char('\n')) {
            ++end;
        }
        start = end + 1;

        const QStringView trimmed = lineText.trimmed();
        const qsizetype close = trimmed.lastIndexOf(QLatin1Char(']'));
        if (trimmed.startsWith(QLatin1Char('[')) && close > 0) {
            TSection section;
            section.Name = trimmed.sliced(1, close - 1).trimmed().toString();
            section.Header.Text = lineText;
            ini.sections_.push_back(std::move(section));
            continue;
        }
        TLine line = ParseLine(lineText);
        if (ini.sections_.empty()) {
            if (line.HasKey()) {
                ++ini.keysOutsideSections_;
            }
            ini.preamble_.push_back(std::move(line));
        } else {
            ini.sections_.back().Lines.push_back(std::move(line));
        }
    }
    for (TSection& section : ini.sections_) {
        section.Reindex();
    }
    ini.ReindexSections();
    return ini;
}

void TIniFile::ReindexSections() {
    sectionIndex_.clear();
    for (int i = static_cast<int>(sections_.size()) - 1; i >= 0; --i) {
        sectionIndex_.insert(Fold(sections_[i].Name), i);
    }
}

TIniFile::TSection* TIniFile::FirstSection(const QString& name) {
    const auto it = sectionIndex_.constFind(Fold(name.trimmed()));
    return it == sectionIndex_.constEnd() ? nullptr : &sections_[*it];
}

const TIniFile::TSection* TIniFile::FirstSection(const QString& name) const {
    const auto it = sectionIndex_.constFind(Fold(name.trimmed()));
    return it == sectionIndex_.constEnd() ? nullptr : &sections_[*it];
}

QStringList TIniFile::Sections() const {
    QStringList names;
    for (int i = 0; i < static_cast<int>(sections_.size()); ++i) {
        if (sectionIndex_.value(Fold(sections_[i].Name)) == i) {
            names.append(sections_[i].Name);
        }
    }
    return names;
}

std::vector<TIniFile::TSectionReader> TIniFile::SectionReaders() const {
    std::vector<TSectionReader> readers;
    readers.reserve(sections_.size());
    for (int i = 0; i < static_cast<int>(sections_.size()); ++i) {
        if (sectionIndex_.value(Fold(sections_[i].Name)) == i) {
            readers.push_back(TSectionReader(&sections_[static_cast<size_t>(i)]));
        }
    }
    return readers;
}

const QString& TIniFile::TSectionReader::Name() const {
    return section_->Name;
}

std::optional<QStringView> TIniFile::TSectionReader::Find(const QString& foldedKey) const {
    const int at = section_->FindKey(foldedKey);
    if (at < 0) {
        return std::nullopt;
    }
    return section_->Lines[static_cast<size_t>(at)].Value();
}

bool TIniFile::HasSection(const QString& section) const {
    return FirstSection(section) != nullptr;
}

QStringList TIniFile::Keys(const QString& section) const {
    QStringList keys;
    if (const TSection* found = FirstSection(section)) {
        for (int i = 0; i < static_cast<int>(found->Lines.size()); ++i) {
            const TLine& line = found->Lines[i];
            if (line.HasKey() && found->FindKey(Fold(line.Key())) == i) {
                keys.append(line.Key().toString());
            }
        }
    }
    return keys;
}

std::optional<QString> TIniFile::Find(const QString& section, const QString& key) const {
    const TSection* found = FirstSection(section);
    if (found == nullptr) {
        return std::nullopt;
    }
    const int at = found->FindKey(Fold(key.trimmed()));
    if (at < 0) {
        return std::nullopt;
    }
    return found->Lines[static_cast<size_t>(at)].Value().toString();
}

QString TIniFile::Value(const QString& section, const QString& key,
                        const QString& defaultValue) const {
    return Find(section, key).value_or(defaultValue);
}

void TIniFile::SetValue(const QString& section, const QString& key, const QString& value) {
    const QString name = section.trimmed();
    const QString keyName = key.trimmed();
    if (name.isEmpty() || keyName.isEmpty()) {
        throw EIniError("An INI section or key name must not be empty.");
    }
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        throw EIniError("An INI name or value must not contain a line break.");
    }
    if (name.contains(QLatin1Char(']')) || keyName.contains(QLatin1Char('=')) ||
        keyName.startsWith(QLatin1Char(';')) || keyName.startsWith(QLatin1Char('['))) {
        throw EIniError("The INI name \"" + (name + '/' + keyName).toStdString() +
                        "\" cannot be stored.");
    }
    // Reading trims and unquotes; an extra pair of quotes makes such a value come back whole.
    QString written = value;
    if (value != value.trimmed() || Unquote(value) != value) {
        written = QLatin1Char('"') + value + QLatin1Char('"');
    }

    TSection* target = FirstSection(name);
    if (target == nullptr) {
        TSection fresh;
        fresh.Name = name;
        fresh.Header = OwnLine(QLatin1Char('[') + name + QLatin1Char(']'));
        sections_.push_back(std::move(fresh));
        sectionIndex_.insert(Fold(name), static_cast<int>(sections_.size()) - 1);
        target = &sections_.back();
    }
    const int at = target->FindKey(Fold(keyName));
    if (at >= 0) {
        TLine& line = target->Lines[static_cast<size_t>(at)];
        line = OwnLine(line.Key().toString() + QLatin1Char('=') + written);
        return;
    }
    // After the last meaningful line, so blank lines separating sections stay between them.
    qsizetype end = static_cast<qsizetype>(target->Lines.size());
    while (end > 0 && target->Lines[end - 1].Text.trimmed().isEmpty()) {
        --end;
    }
    const bool appending = end == static_cast<qsizetype>(target->Lines.size());
    target->Lines.insert(target->Lines.begin() + end,
                         OwnLine(keyName + QLatin1Char('=') + written));
    if (appending && !target->KeyIndex.isEmpty()) {
        target->KeyIndex.insert(Fold(keyName), static_cast<int>(end));
    } else {
        target->Reindex();
    }
}

void TIniFile::RemoveKey(const QString& section, const QString& key) {
    TSection* found = FirstSection(section);
    if (found == nullptr) {
        return;
    }
    const QString folded = Fold(key.trimmed());
    std::erase_if(found->Lines,
                  [&](const TLine& line) { return line.HasKey() && Fold(line.Key()) == folded; });
    found->Reindex();
}

void TIniFile::RemoveSection(const QString& section) {
    const QString folded = Fold(section.trimmed());
    std::erase_if(sections_, [&](const TSection& s) { return Fold(s.Name) == folded; });
    ReindexSections();
}

QByteArray TIniFile::ToUtf8() const {
    QString text;
    bool first = true;
    auto append = [&](QStringView line) {
        if (!first) {
            text += eol_;
        }
        text += line;
        first = false;
    };
    for (const TLine& line : preamble_) {
        append(line.Text);
    }
    for (const TSection& section : sections_) {
        append(section.Header.Text);
        for (const TLine& line : section.Lines) {
            append(line.Text);
        }
    }
    if (!first && finalEol_) {
        text += eol_;
    }
    return text.toUtf8();
}

void TIniFile::Save(const QString& path, TFileMode mode) const {
    try {
        const QByteArray bytes = ToUtf8();
        ReplaceFile(path.toStdString(), std::string_view(bytes.constData(), bytes.size()), mode);
    } catch (const Exception& e) {
        throw EIniError(e.what());
    }
}

QString ReadProfileString(const QString& path, const QString& section, const QString& key,
                          const QString& defaultValue) {
    return TIniFile::Load(path).Value(section, key, defaultValue);
}

void WriteProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value) {
    TIniFile ini = TIniFile::Load(path);
    ini.SetValue(section, key, value);
    ini.Save(path);
}

QStringList ReadSectionNames(const QString& path) {
    return TIniFile::Load(path).Sections();
}

}  // namespace quorv::platform
