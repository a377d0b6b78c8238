#pragma once

#include <string>

namespace quorv::netsh {

// netsh -f SOURCE: the script in the file SOURCE, or on standard input for "-". The lines for
// one interface are one change of it; what became of each line is reported on stdout (see
// ScriptReport). systemBus: NetworkManager may own devices. The exit status: 0 when every line
// is in place, kExitNeedsPrivilege before any change, else 1.
// keepWithin > 0: the script may change one interface only; a snapshot of it is taken before
// the first change and a watchdog left after the last (see SafeApply.h), which restores the
// snapshot unless told to keep the change within keepWithin seconds.
int RunScript(const std::string& source, bool systemBus, int keepWithin = 0);

}  // namespace quorv::netsh
