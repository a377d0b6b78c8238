#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

namespace quorv::dialogs {

// A window's one-time start work (reading an inventory behind a notice, starting a run).
// It runs once: at the window's first activation, or from a call queued when the window
// is shown, whichever comes first. The queued call covers window systems that never
// report activation (offscreen, an X server without a window manager), so the work
// starts as deterministically there as on a desktop.
class TFirstActivation : public QObject {
    Q_OBJECT
  public:
    // Watches `window`, which owns the helper.
    TFirstActivation(QWidget* window, std::function<void()> work);

    bool Done() const { return done_; }
    // Runs the work now unless it has run.
    void Fire();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> window_;
    std::function<void()> work_;
    bool done_ = false;
};

}  // namespace quorv::dialogs
