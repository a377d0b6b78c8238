#include "gui/widgets/TQLabel.h"

namespace quorv::widgets {

TQLabel::TQLabel(QWidget* parent) : QLabel(parent) {}

void TQLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    emit OnMouseEnter(this);
}

void TQLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    emit OnMouseLeave(this);
}

}  // namespace quorv::widgets
