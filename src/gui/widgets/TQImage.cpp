#include "gui/widgets/TQImage.h"

namespace quorv::widgets {

TQImage::TQImage(QWidget* parent) : QLabel(parent) {}

void TQImage::enterEvent(QEnterEvent* event) {
    entered_ = true;
    QLabel::enterEvent(event);
    emit OnMouseEnter(this);
}

void TQImage::leaveEvent(QEvent* event) {
    entered_ = false;
    QLabel::leaveEvent(event);
    emit OnMouseLeave(this);
}

}  // namespace quorv::widgets
