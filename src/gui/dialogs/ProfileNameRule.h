#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace quorv::dialogs {

// The name a typed profile name is stored as (cut to the Name column), or nothing when the
// shared name rules refuse it (empty, control characters), as qic and import do. A refusal
// is told in a warning box; so is a cut, with the stored name, since the user did not type
// it that way.
std::optional<QString> AcceptedProfileName(QWidget* parent, const QString& typed);

}  // namespace quorv::dialogs
