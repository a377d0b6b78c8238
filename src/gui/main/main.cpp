#include <cstdio>
#include <cstdlib>

#include "core/DataFile.h"
#include "gui/dialogs/AboutForm.h"
#include "gui/frame/ErrorBox.h"
#include "gui/main/MainForm.h"
#include "gui/main/SingleInstance.h"

#include <QIcon>

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
    application.setWindowIcon(QIcon(QStringLiteral(":/quorv-ip-changer.svg")));
    const std::string dataFile = quorv::app::DefaultDataFilePath();
    quorv::app::TSingleInstance single(dataFile);
    if (single.HandOver()) {
        return 0;
    }
    quorv::app::TMainForm form(dataFile);
    single.Serve(&form);
    // Never shown: made before the placement is restored, it settles the language that
    // the first activation then finds.
    quorv::widgets::TAboutForm hiddenAbout(&form);
    form.show();
    return application.exec();
}
