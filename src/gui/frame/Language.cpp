#include "gui/frame/Language.h"

#include <utility>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QWidget>

#include "gui/widgets/PlainText.h"
#include "gui/widgets/TQImage.h"
#include "system/IniFile.h"
#include "system/ProgramFolder.h"

namespace quorv::settings {

namespace {

// Components a window names; Qt's own helper objects ("qt_..." or unnamed) never match a
// key, whatever a language file says.
QObject* FindComponent(QWidget* form, const QString& name) {
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
        return nullptr;
    return form->findChild<QObject*>(name);
}

// The label that names an edit (its buddy), when it has one.
QLabel* LabelOf(QLineEdit* edit, QWidget* form) {
    for (QLabel* label : form->findChildren<QLabel*>()) {
        if (label->buddy() == edit)
            return label;
    }
    return nullptr;
}

bool IsImage(QObject* component) {
    if (qobject_cast<widgets::TQImage*>(component))
        return true;
    auto* label = qobject_cast<QLabel*>(component);
    return label && label->text().isEmpty() && !label->pixmap().isNull();
}

void SetText(QObject* component, const TCaptionHint& text) {
    auto* widget = qobject_cast<QWidget*>(component);
    if (!widget)
        return;
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text.Caption);
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(widget)) {
        // A memo's text is its lines.
        memo->setPlainText(
            QString(text.Caption).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    } else {
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            label->setTextFormat(Qt::PlainText);
        }
        const QMetaObject* meta = widget->metaObject();
        const int index = meta->indexOfProperty("text");
        if (index >= 0 && meta->property(index).isWritable()) {
            widget->setProperty("text", text.Caption);
        } else if (widget->isWindow()) {
            widget->setWindowTitle(text.Caption);
        }
    }
    widget->setToolTip(widgets::PlainToolTip(text.Hint));
}

void Apply(QObject* component, QWidget* form, const TCaptionHint& text) {
    if (text.Caption.isEmpty())
        return;
    if (auto* action = qobject_cast<QAction*>(component)) {
        action->setText(text.Caption);
        action->setToolTip(widgets::PlainToolTip(text.Hint));
    } else if (auto* edit = qobject_cast<QLineEdit*>(component); edit && LabelOf(edit, form)) {
        LabelOf(edit, form)->setText(text.Caption);
        edit->setToolTip(widgets::PlainToolTip(text.Hint));
    } else if (auto* combo = qobject_cast<QComboBox*>(component)) {
        combo->clear();
        combo->addItems(text.Caption.split(QStringLiteral("\r\n")));
    } else if (auto* menu = qobject_cast<QMenu*>(component)) {
        menu->setTitle(text.Caption);
    } else if (IsImage(component)) {
        static_cast<QWidget*>(component)->setToolTip(widgets::PlainToolTip(text.Caption));
    } else {
        SetText(component, text);
    }
}

}  // namespace

QString ExpandLineBreaks(const QString& value) {
    QString text = value;
    return text.replace(QLatin1String("#13#10"), QLatin1String("\r\n"));
}

TCaptionHint SplitCaptionHint(const QString& value) {
    TCaptionHint text;
    const qsizetype bar = value.indexOf(QLatin1Char('|'));
    text.Caption = bar < 0 ? value : value.left(bar);
    text.Hint = bar < 0 ? value : value.mid(bar + 1);
    text.Hint.remove(QLatin1Char('&'));
    return text;
}

TQLanguage::TQLanguage(QString languageFolder) : folder_(std::move(languageFolder)) {}

QString TQLanguage::DefaultFolder() {
    return QString::fromStdString(platform::ProgramFolder()) + QStringLiteral("Language");
}

void TQLanguage::SetFileName(const QString& name) {
    if (name.isEmpty()) {
        fileName_.clear();
        return;
    }
    // Names written on Windows may use either separator.
    const QString part = name.section(QRegularExpression(QStringLiteral("[/\\\\]")), -1);
    fileName_ = QDir(folder_).filePath(part);
}

void TQLanguage::TranslateForm(QWidget* form) {
    TranslateSection(form, form->objectName());
}

void TQLanguage::TranslateSection(QWidget* form, const QString& section) {
    const std::optional<platform::TIniFile> loaded = Load();
    if (!loaded)
        return;
    const platform::TIniFile& file = *loaded;

    const QString caption = file.Value(section, QStringLiteral("Caption"));
    if (!caption.isEmpty())
        form->setWindowTitle(ExpandLineBreaks(caption));
    const QString fontName = file.Value(section, QStringLiteral("FontName"));
    const QString fontSize = file.Value(section, QStringLiteral("FontSize"));
    if (!fontName.isEmpty() || !fontSize.isEmpty()) {
        QFont font = form->font();
        if (!fontName.isEmpty())
            font.setFamily(fontName);
        // A size that is not a whole number is ignored rather than ending the
        // translation, which would also leave the messages unread at start-up.
        bool ok = false;
        const int points = fontSize.toInt(&ok);
        if (ok && points > 0)
            font.setPointSize(points);
        form->setFont(font);
    }

    for (const QString& key : file.Keys(section)) {
        QObject* component = FindComponent(form, key);
        if (!component)
            continue;
        Apply(component, form, SplitCaptionHint(ExpandLineBreaks(file.Value(section, key))));
    }
}

std::optional<platform::TIniFile> TQLanguage::Load() const {
    if (fileName_.isEmpty() || !QFileInfo(fileName_).isFile())
        return std::nullopt;
    try {
        return platform::TIniFile::Load(fileName_);
    } catch (const platform::EIniError& e) {
        if (reportedFile_ != fileName_) {
            reportedFile_ = fileName_;
            problem_ = QString::fromStdString(e.what());
        }
        return std::nullopt;
    }
}

QString TQLanguage::TakeProblem() {
    return std::exchange(problem_, QString());
}

QString TQLanguage::ReadMessage(const QString& key) const {
    return ReadMessages({key}).value(0);
}

QStringList TQLanguage::ReadMessages(const QStringList& keys) const {
    QStringList texts;
    const std::optional<platform::TIniFile> loaded = Load();
    if (!loaded) {
        for (qsizetype i = 0; i < keys.size(); ++i)
            texts << QString();
        return texts;
    }
    const platform::TIniFile& file = *loaded;
    for (const QString& key : keys) {
        texts << ExpandLineBreaks(file.Value(QStringLiteral("Message"), key));
    }
    return texts;
}

}  // namespace quorv::settings
