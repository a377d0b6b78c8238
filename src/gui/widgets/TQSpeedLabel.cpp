#include "gui/widgets/TQSpeedLabel.h"

#include <QMouseEvent>

namespace quorv::widgets {

TQSpeedLabel::TQSpeedLabel(QWidget* parent) : TQLabel(parent) {
    normalColor_ = palette().color(QPalette::WindowText);
}

void TQSpeedLabel::SetNormalColor(const QColor& color) {
    normalColor_ = color;
    SetFontColor(color);
}

QColor TQSpeedLabel::FontColor() const {
    return palette().color(QPalette::WindowText);
}

void TQSpeedLabel::SetFontColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void TQSpeedLabel::enterEvent(QEnterEvent* event) {
    entered_ = true;
    SetFontColor(pressed_ ? mouseDownColor_ : mouseEnterColor_);
    TQLabel::enterEvent(event);
}

void TQSpeedLabel::leaveEvent(QEvent* event) {
    entered_ = false;
    SetFontColor(pressed_ ? mouseDownColor_ : normalColor_);
    TQLabel::leaveEvent(event);
}

void TQSpeedLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        SetFontColor(mouseDownColor_);
    }
    TQLabel::mousePressEvent(event);
}

void TQSpeedLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = event->button() == Qt::LeftButton && pressed_ &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        pressed_ = false;
        SetFontColor(entered_ ? mouseEnterColor_ : normalColor_);
    }
    TQLabel::mouseReleaseEvent(event);
    if (click) {
        emit OnClick(this);
        Clicked();
    }
}

}  // namespace quorv::widgets
