#include "gui/widgets/FirstPaint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace quorv::widgets {

TFirstPaint::TFirstPaint(QWidget* widget, QObject* owner) : QObject(owner), widget_(widget) {
    setObjectName("FirstPaint");
    widget->installEventFilter(this);
}

void TFirstPaint::Then(std::function<void()> work) {
    if (painted_) {
        QTimer::singleShot(0, this, std::move(work));
    } else {
        pending_.push_back(std::move(work));
    }
}

bool TFirstPaint::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget_ && event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        widget_->removeEventFilter(this);
        // Queued: the paint under way, and its flush to the screen, finish first.
        for (std::function<void()>& work : pending_) {
            QTimer::singleShot(0, this, std::move(work));
        }
        pending_.clear();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace quorv::widgets
