#include "gui/widgets/FirstActivation.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace quorv::dialogs {

TFirstActivation::TFirstActivation(QWidget* window, std::function<void()> work)
    : QObject(window), window_(window), work_(std::move(work)) {
    setObjectName("FirstActivation");
    window->installEventFilter(this);
}

void TFirstActivation::Fire() {
    if (done_) {
        return;
    }
    done_ = true;
    if (window_) {
        window_->removeEventFilter(this);
    }
    if (work_) {
        work_();
    }
}

bool TFirstActivation::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && !done_) {
        if (event->type() == QEvent::WindowActivate) {
            Fire();
        } else if (event->type() == QEvent::Show) {
            // Queued, so the window is on screen (and painted once) before the work.
            QTimer::singleShot(0, this, &TFirstActivation::Fire);
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace quorv::dialogs
