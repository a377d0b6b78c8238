#include "gui/main/ProgramStart.h"

#include "gui/dialogs/AboutForm.h"
#include "gui/frame/ErrorBox.h"
#include "gui/main/DesktopFeatures.h"
#include "gui/main/MainForm.h"
#include "gui/widgets/LazyExtensionStyle.h"

namespace quorv::app {

int RunMainWindow(TApplication& application, const std::string& dataFile,
                  const QString& languageFolder) {
    TApplication::setStyle(new widgets::TLazyExtensionStyle(TApplication::style()->name()));
    TMainForm form(dataFile, nullptr, languageFolder);
    // Never shown, and owned by the window. Made right after the first paint rather than
    // before it, as it costs a few milliseconds of drawing and font lookups.
    form.AfterFirstPaint([&form] { new widgets::TAboutForm(&form); });
    form.Desktop->ShowAtStart();
    return application.exec();
}

}  // namespace quorv::app
