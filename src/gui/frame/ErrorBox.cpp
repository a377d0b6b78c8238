#include "gui/frame/ErrorBox.h"
#include "gui/widgets/PlainText.h"

#include <QMessageBox>
#include <QWidget>
#include <exception>

namespace quorv::app {

namespace {

QString ExceptionText(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

}  // namespace

void ShowErrorBox(QWidget* owner, const QString& text) {
    widgets::TPlainMessageBox box(QMessageBox::Critical, QStringLiteral("Quorv IP Changer"), text,
                                  QMessageBox::Ok, owner);
    box.setObjectName("ErrorBox");
    box.exec();
}

bool RunCommand(QWidget* owner, const std::function<void()>& command) {
    std::exception_ptr failure;
    try {
        command();
        return true;
    } catch (...) {
        failure = std::current_exception();
    }
    // Shown outside the handler, so the box's own event loop runs with no exception live.
    ShowErrorBox(owner, ExceptionText(failure));
    return false;
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    const bool ran =
        RunCommand(activeWindow(), [&] { handled = QApplication::notify(receiver, event); });
    return ran ? handled : true;
}

}  // namespace quorv::app
