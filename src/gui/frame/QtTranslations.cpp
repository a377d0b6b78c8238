#include "gui/frame/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace quorv::settings {

namespace {

QString& Folder() {
    static QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    return folder;
}

std::unique_ptr<QTranslator>& Installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

}  // namespace

void SetQtTranslationsFolder(const QString& folder) {
    Folder() = folder;
}

void UseQtTexts(const QString& language) {
    std::unique_ptr<QTranslator>& installed = Installed();
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (language != QLatin1String("Korea")) {
        return;
    }
    auto translator = std::make_unique<QTranslator>();
    // qt_ko names the catalogues of each Qt module, qtbase_ko among them.
    if (translator->load(QStringLiteral("qt_ko"), Folder()) ||
        translator->load(QStringLiteral("qtbase_ko"), Folder())) {
        QCoreApplication::installTranslator(translator.get());
        installed = std::move(translator);
    }
}

}  // namespace quorv::settings
