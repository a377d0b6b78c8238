#include "cli/ProgressLanguage.h"

#include <cstdlib>
#include <optional>

#include "system/IniFile.h"

namespace quorv::cli {

std::string LocaleLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return std::string_view(value).substr(0, 2) == "ko" ? "Korea" : "English";
        }
    }
    return "English";
}

namespace {

// Each text whose key the locale's language file has is replaced by the file's.
void FillFromLanguage(const std::string& languageFolder,
                      const std::vector<std::pair<const char*, std::string*>>& byKey) {
    std::optional<platform::TIniFile> file;
    try {
        file = platform::TIniFile::Load(
            QString::fromStdString(languageFolder + "/" + LocaleLanguage() + ".dat"));
    } catch (const platform::EIniError&) {
        return;
    }
    for (auto [key, text] : byKey) {
        const QString value = file->Value(QStringLiteral("Message"), QString::fromUtf8(key));
        if (!value.isEmpty()) {
            *text = value.toStdString();
        }
    }
}

}  // namespace

apply::ProgressTexts LocaleProgressTexts(const std::string& languageFolder) {
    apply::ProgressTexts texts;
    FillFromLanguage(languageFolder, apply::TextsByKey(texts));
    return texts;
}

apply::SafeTexts LocaleSafeTexts(const std::string& languageFolder) {
    apply::SafeTexts texts;
    FillFromLanguage(languageFolder, apply::TextsByKey(texts));
    return texts;
}

}  // namespace quorv::cli
