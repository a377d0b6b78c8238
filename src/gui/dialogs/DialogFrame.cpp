#include "gui/dialogs/DialogFrame.h"

#include "base/Exception.h"
#include "gui/frame/FormHost.h"
#include "gui/frame/MessageTexts.h"

namespace quorv::dialogs {

settings::IFormHost& Host() {
    settings::IFormHost* host = settings::FormHost();
    if (host == nullptr) {
        throw Exception("The profile dialogs need the main window");
    }
    return *host;
}

QString Message(const char* key) {
    if (settings::IFormHost* host = settings::FormHost()) {
        return host->MessageTexts().Text(key);
    }
    static const settings::TMessageTexts defaults;
    return defaults.Text(key);
}

void ApplyLanguage(QWidget* form) {
    if (settings::IFormHost* host = settings::FormHost()) {
        host->ApplyLanguage(form);
    }
}

}  // namespace quorv::dialogs
