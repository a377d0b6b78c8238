#include "gui/widgets/TQSpeedImage.h"

#include <QMouseEvent>

namespace quorv::widgets {

TQSpeedImage::TQSpeedImage(QWidget* parent) : TQImage(parent) {}

void TQSpeedImage::SetPicture(const QPixmap& picture) {
    setPixmap(picture);
    if (!picture.isNull()) {
        normalPicture_ = picture;
    }
}

void TQSpeedImage::SetMouseEnterPicture(const QPixmap& picture) {
    if (!picture.isNull()) {
        mouseEnterPicture_ = picture;
    }
}

void TQSpeedImage::SetMouseDownPicture(const QPixmap& picture) {
    if (!picture.isNull()) {
        mouseDownPicture_ = picture;
    }
}

void TQSpeedImage::enterEvent(QEnterEvent* event) {
    TQImage::enterEvent(event);
    if (isEnabled() && !pressed_ && !mouseEnterPicture_.isNull()) {
        setPixmap(mouseEnterPicture_);
    }
}

void TQSpeedImage::leaveEvent(QEvent* event) {
    TQImage::leaveEvent(event);
    if (isEnabled() && !pressed_ && !mouseEnterPicture_.isNull()) {
        setPixmap(normalPicture_);
    }
}

void TQSpeedImage::mousePressEvent(QMouseEvent* event) {
    TQImage::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        return;
    }
    pressed_ = true;
    if (!mouseDownPicture_.isNull()) {
        setPixmap(mouseDownPicture_);
    }
}

void TQSpeedImage::mouseReleaseEvent(QMouseEvent* event) {
    TQImage::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        return;
    }
    const bool click = pressed_ && rect().contains(event->position().toPoint());
    if (!mouseDownPicture_.isNull()) {
        setPixmap(Entered() && !mouseEnterPicture_.isNull() ? mouseEnterPicture_ : normalPicture_);
    }
    pressed_ = false;
    if (click) {
        emit OnClick(this);
        Clicked();
    }
}

}  // namespace quorv::widgets
