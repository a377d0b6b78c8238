#pragma once

#include <string>

#include "core/ApplyRun.h"

namespace quorv::cli {

// "Korea" when the first non-empty of LC_ALL, LC_MESSAGES and LANG starts with "ko",
// otherwise "English": the language the window takes until the user picks one.
std::string LocaleLanguage();

// The apply run's progress lines and failure list in that language, as the window shows
// them: from the
// language's file in languageFolder, each missing text (or an unreadable file) giving the
// built-in Korean one.
apply::ProgressTexts LocaleProgressTexts(const std::string& languageFolder);

// The texts of a safe apply (check lines, the question, what was restored), the same way.
apply::SafeTexts LocaleSafeTexts(const std::string& languageFolder);

}  // namespace quorv::cli
