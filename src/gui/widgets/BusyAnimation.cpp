#include "gui/widgets/BusyAnimation.h"

#include <QPainter>
#include <QtMath>

namespace quorv::apply {

TBusyAnimation::TBusyAnimation(QWidget* parent) : QWidget(parent) {
    setFixedSize(16, 16);
    timer_.setInterval(kFrameMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kFrames;
        update();
    });
}

void TBusyAnimation::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor base = palette().color(QPalette::WindowText);
    const QPointF centre(8.0, 8.0);
    // Eight dots on a circle; the one of the current frame is darkest, the ones behind
    // it fade out.
    for (int i = 0; i < kFrames; ++i) {
        const int age = (frame_ - i + kFrames) % kFrames;
        QColor colour = base;
        colour.setAlphaF(1.0 - age * 0.11);
        painter.setBrush(colour);
        const double angle = 2.0 * M_PI * i / kFrames - M_PI / 2.0;
        const QPointF dot = centre + QPointF(5.5 * qCos(angle), 5.5 * qSin(angle));
        painter.drawEllipse(dot, 1.6, 1.6);
    }
}

void TBusyAnimation::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    timer_.start();
}

void TBusyAnimation::hideEvent(QHideEvent* event) {
    timer_.stop();
    QWidget::hideEvent(event);
}

}  // namespace quorv::apply
