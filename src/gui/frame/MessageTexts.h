#pragma once

#include <QString>
#include <array>

#include "core/MessageDefaults.h"

namespace quorv::settings {

using core::kMessageDefaults;
using core::MessageDefault;

// The message texts the main window holds. They start as the built-in defaults, so a
// window opened before the language is loaded still has sensible texts.
class TMessageTexts {
  public:
    TMessageTexts();
    // The text of a key of kMessageDefaults; an unknown key is a programming error and
    // gives an empty text.
    QString Text(const char* key) const;
    void SetText(const char* key, const QString& text);
    // Every text back to its built-in default.
    void Reset();

  private:
    std::array<QString, kMessageDefaults.size()> texts_;
};

}  // namespace quorv::settings
