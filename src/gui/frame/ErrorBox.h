#pragma once

#include <QApplication>
#include <QString>
#include <functional>

class QWidget;

namespace quorv::app {

// The application's standard error box: what a command does not handle itself ends here,
// as one critical box with the exception's text.
void ShowErrorBox(QWidget* owner, const QString& text);

// Runs a command and shows what it throws in the standard error box. True when it ran to
// its end.
bool RunCommand(QWidget* owner, const std::function<void()>& command);

// The application object. A failure escaping an event handler gets the same box instead
// of ending the process.
class TApplication : public QApplication {
  public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace quorv::app
