#pragma once

#include <QString>
#include <string>

namespace quorv::app {

class TApplication;

// The window program after its display check: the main window on `dataFile`, shown, and
// the event loop until it closes; the result is the program's exit status. Shared by the
// program entry and the start-up benchmark, so both measure the same start.
// languageFolder: empty for the Language folder beside the program.
int RunMainWindow(TApplication& application, const std::string& dataFile,
                  const QString& languageFolder = {});

}  // namespace quorv::app
