#include "gui/main/ProgramStart.h"

#include "gui/dialogs/AboutForm.h"
#include "gui/frame/ErrorBox.h"
#include "gui/main/DesktopFeatures.h"
#include "gui/main/MainForm.h"
#include "gui/main/SingleInstance.h"
#include "gui/widgets/LazyExtensionStyle.h"
#include "gui/widgets/SvgIcon.h"

namespace quorv::app {

int RunMainWindow(TApplication& application, const std::string& dataFile,
                  const QString& languageFolder) {
    TSingleInstance single(dataFile);
    if (single.HandOver()) {
        return 0;
    }
    TApplication::setWindowIcon(widgets::SvgIcon(QStringLiteral(":/desktop/quorv-ip-changer.svg")));
    TApplication::setStyle(new widgets::TLazyExtensionStyle(TApplication::style()->name()));
    TMainForm form(dataFile, nullptr, languageFolder);
    single.Serve(&form);
    // Never shown, and owned by the window. Made right after the first paint rather than
    // before it, as it costs a few milliseconds of drawing and font lookups.
    form.AfterFirstPaint([&form] { new widgets::TAboutForm(&form); });
    form.Desktop->ShowAtStart();
    return application.exec();
}

}  // namespace quorv::app
