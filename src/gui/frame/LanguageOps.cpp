#include "gui/frame/LanguageOps.h"

#include <QStringList>
#include <cstdlib>

#include "gui/frame/Language.h"
#include "gui/frame/MessageTexts.h"
#include "gui/frame/QtTranslations.h"

namespace quorv::settings {

namespace {
const QString kKorea = QStringLiteral("Korea");
const QString kEnglish = QStringLiteral("English");
}  // namespace

QString SystemLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return QString::fromLocal8Bit(value).startsWith(QLatin1String("ko")) ? kKorea
                                                                                 : kEnglish;
        }
    }
    return kEnglish;
}

void ApplyLanguage(QString& language, TQLanguage& qlanguage, QWidget* form) {
    if (language != kKorea && language != kEnglish)
        language = SystemLanguage();
    qlanguage.SetFileName(language + QStringLiteral(".dat"));
    qlanguage.TranslateForm(form);
}

void LoadMessageTexts(const TQLanguage& qlanguage, TMessageTexts& texts) {
    QStringList keys;
    for (const MessageDefault& message : kMessageDefaults)
        keys << QString::fromUtf8(message.key);
    const QStringList read = qlanguage.ReadMessages(keys);
    for (size_t i = 0; i < kMessageDefaults.size(); ++i) {
        const QString& text = read.at(static_cast<qsizetype>(i));
        texts.SetText(kMessageDefaults[i].key,
                      text.isEmpty() ? QString::fromUtf8(kMessageDefaults[i].text) : text);
    }
}

void StartLanguage(QString& language, TQLanguage& qlanguage, QWidget* mainForm,
                   TMessageTexts& texts) {
    if (language == kKorea) {
        qlanguage.SetFileName(QStringLiteral("Korea.dat"));
    } else {
        ApplyLanguage(language, qlanguage, mainForm);
    }
    UseQtTexts(language);
    LoadMessageTexts(qlanguage, texts);
}

void SwitchLanguage(QString& language, bool korea, TQLanguage& qlanguage, QWidget* mainForm,
                    TMessageTexts& texts) {
    language = korea ? kKorea : kEnglish;
    ApplyLanguage(language, qlanguage, mainForm);
    UseQtTexts(language);
    LoadMessageTexts(qlanguage, texts);
}

}  // namespace quorv::settings
