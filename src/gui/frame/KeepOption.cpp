#include "gui/frame/KeepOption.h"

#include <algorithm>

#include "core/ConfirmApply.h"

namespace quorv::settings {

namespace {

const QString kAskKeep = QStringLiteral("AskKeep");
const QString kKeepSeconds = QStringLiteral("KeepSeconds");

}  // namespace

KeepOption ReadKeepOption(const IPlacementStorage& storage) {
    KeepOption option;
    option.seconds = apply::kKeepSecondsDefault;
    if (const std::optional<QString> ask = storage.Read(kAskKeep)) {
        option.ask = *ask == QLatin1String("1");
    }
    if (const std::optional<QString> seconds = storage.Read(kKeepSeconds)) {
        bool ok = false;
        const int value = seconds->trimmed().toInt(&ok);
        if (ok) {
            option.seconds = std::clamp(value, apply::kKeepSecondsMin, apply::kKeepSecondsMax);
        }
    }
    return option;
}

void WriteKeepOption(IPlacementStorage& storage, const KeepOption& option) {
    storage.Write({{kAskKeep, option.ask ? QStringLiteral("1") : QStringLiteral("0")},
                   {kKeepSeconds, QString::number(option.seconds)}});
}

}  // namespace quorv::settings
