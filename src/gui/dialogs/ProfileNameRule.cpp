#include "gui/dialogs/ProfileNameRule.h"

#include "core/Profile.h"
#include "core/ProfileChecks.h"
#include "gui/dialogs/DialogBoxes.h"
#include "gui/dialogs/DialogFrame.h"

namespace quorv::dialogs {

std::optional<QString> AcceptedProfileName(QWidget* parent, const QString& typed) {
    const std::string full = typed.toStdString();
    const std::string stored =
        apply::CutToWidth(full, static_cast<size_t>(apply::ProfileColumnWidth("Name")));
    try {
        apply::CheckProfileName(stored);
    } catch (const apply::RefusedValue& refused) {
        ShowWarning(parent,
                    stored.empty() ? Message("msgEmptyName") : QString::fromUtf8(refused.what()));
        return std::nullopt;
    }
    const QString name = QString::fromStdString(stored);
    if (stored != full) {
        ShowWarning(parent, Message("msgNameCut").arg(name));
    }
    return name;
}

}  // namespace quorv::dialogs
