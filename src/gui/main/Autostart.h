#pragma once

#include <QString>

namespace quorv::app {

// The XDG autostart entry that starts the program with the desktop session:
// $XDG_CONFIG_HOME/autostart/quorv-ip-changer.desktop (~/.config when unset).
QString AutostartEntryPath();
bool AutostartEnabled();
// Writes the entry for `program` (replacing it whole) or removes it; throws
// quorv::Exception when that cannot be done.
void SetAutostart(bool enabled, const QString& program);

// The entry's text. The program path is quoted as desktop entries quote an argument, so a
// path with blanks, quotes, "$" or "%" starts that program and nothing else.
QString AutostartEntry(const QString& program);

}  // namespace quorv::app
