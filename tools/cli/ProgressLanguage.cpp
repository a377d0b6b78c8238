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

apply::ProgressTexts LocaleProgressTexts(const std::string& languageFolder) {
    apply::ProgressTexts texts;
    std::optional<platform::TIniFile> file;
    try {
        file = platform::TIniFile::Load(
            QString::fromStdString(languageFolder + "/" + LocaleLanguage() + ".dat"));
    } catch (const platform::EIniError&) {
        return texts;
    }
    for (auto [key, text] : apply::TextsByKey(texts)) {
        const QString value = file->Value(QStringLiteral("Message"), QString::fromUtf8(key));
        if (!value.isEmpty()) {
            *text = value.toStdString();
        }
    }
    return texts;
}

}  // namespace quorv::cli
