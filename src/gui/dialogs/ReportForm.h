#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "system/CommandCapture.h"
#include "system/Process.h"

namespace quorv::apply {

// Runs the command and appends its standard output to the text area. Windows are
// painted and take clicks meanwhile; a failed start leaves the text area as it was.
void CaptureCommandOutput(const std::vector<std::string>& args, QPlainTextEdit* textArea,
                          const platform::LaunchOptions& options = {},
                          const CaptureLimits& limits = {});

// The configuration report: "IPCONFIG /all" of the program folder's ipconfig, captured
// when the window is first activated, in a console-like text area.
class TReportForm : public QDialog {
    Q_OBJECT
  public:
    explicit TReportForm(QWidget* owner);

    QPlainTextEdit* Memo1;
    QPushButton* btnOK;

    // Where "IPCONFIG" is looked for first (default: the program folder), and how long
    // the capture may take.
    void SetProgramFolder(const std::string& folder) { launch_.programFolder = folder; }
    void SetCaptureLimits(const CaptureLimits& limits) { limits_ = limits; }
    bool Capturing() const { return capturing_; }
    bool Captured() const { return captured_; }

  public slots:
    // OK, Escape and the close box during the capture take effect once it has ended.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormActivate();

    platform::LaunchOptions launch_;
    CaptureLimits limits_;
    bool activated_ = false;
    bool capturing_ = false;
    bool captured_ = false;
    std::optional<int> pendingResult_;
};

}  // namespace quorv::apply
