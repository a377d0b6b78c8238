#include "gui/frame/MessageTexts.h"

#include <cstring>

namespace quorv::settings {

namespace {

int IndexOf(const char* key) {
    for (size_t i = 0; i < kMessageDefaults.size(); ++i) {
        if (std::strcmp(kMessageDefaults[i].key, key) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

TMessageTexts::TMessageTexts() {
    Reset();
}

QString TMessageTexts::Text(const char* key) const {
    const int i = IndexOf(key);
    return i < 0 ? QString() : texts_[i];
}

void TMessageTexts::SetText(const char* key, const QString& text) {
    const int i = IndexOf(key);
    if (i >= 0)
        texts_[i] = text;
}

void TMessageTexts::Reset() {
    for (size_t i = 0; i < kMessageDefaults.size(); ++i) {
        texts_[i] = QString::fromUtf8(kMessageDefaults[i].text);
    }
}

}  // namespace quorv::settings
