#include <cstdio>
#include <cstdlib>

#include "core/DataFile.h"
#include "gui/frame/ErrorBox.h"
#include "gui/main/ProgramStart.h"

namespace {

// Without a display Qt would only print its own failure; say what to do instead.
bool DisplayAvailable() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    if (!DisplayAvailable()) {
        std::fprintf(stderr,
                     "QuorvIPChanger: no display found; use qic for the command line, or set "
                     "QT_QPA_PLATFORM=offscreen to run the window without one\n");
        return 1;
    }
    quorv::app::TApplication application(argc, argv);
    return quorv::app::RunMainWindow(application, quorv::app::DefaultDataFilePath());
}
