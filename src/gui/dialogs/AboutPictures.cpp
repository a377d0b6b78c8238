#include "gui/dialogs/AboutPictures.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace quorv::widgets {

namespace {

QPixmap Canvas(int width, int height) {
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(width, height) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A small monitor with a cable: the product is about a machine's connections.
void DrawComputer(QPainter& p, const QRectF& screen) {
    p.setPen(QPen(QColor(40, 40, 60), 2));
    p.setBrush(QColor(230, 236, 245));
    p.drawRoundedRect(screen, 4, 4);
    p.setBrush(QColor(60, 120, 200));
    p.drawRect(screen.adjusted(6, 6, -6, -6));
    const QPointF foot(screen.center().x(), screen.bottom());
    p.drawLine(foot, foot + QPointF(0, 10));
    p.drawLine(foot + QPointF(-14, 10), foot + QPointF(14, 10));
}

}  // namespace

QPixmap ProductPicture() {
    QPixmap pixmap = Canvas(100, 200);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 200);
    sky.setColorAt(0, QColor(24, 64, 128));
    sky.setColorAt(1, QColor(120, 180, 235));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(1, 1, 98, 198), 8, 8);

    DrawComputer(p, QRectF(18, 22, 64, 44));
    DrawComputer(p, QRectF(18, 118, 64, 44));

    // Two arrows between the machines: one profile switched for another.
    p.setPen(QPen(QColor(255, 210, 60), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(38, 84), QPointF(38, 108));
    p.drawLine(QPointF(62, 84), QPointF(62, 108));
    QPainterPath down;
    down.moveTo(30, 104);
    down.lineTo(46, 104);
    down.lineTo(38, 114);
    down.closeSubpath();
    QPainterPath up;
    up.moveTo(54, 88);
    up.lineTo(70, 88);
    up.lineTo(62, 78);
    up.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 210, 60));
    p.drawPath(down);
    p.drawPath(up);

    QFont font = p.font();
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 176, 100, 20), Qt::AlignCenter, QStringLiteral("QIC"));
    return pixmap;
}

QPixmap DonatePicture() {
    QPixmap pixmap = Canvas(62, 31);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient face(0, 0, 0, 31);
    face.setColorAt(0, QColor(255, 224, 120));
    face.setColorAt(1, QColor(240, 170, 40));
    p.setPen(QPen(QColor(150, 100, 20), 1));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(0.5, 0.5, 61, 30), 12, 12);
    QFont font = p.font();
    font.setPixelSize(12);
    font.setBold(true);
    font.setItalic(true);
    p.setFont(font);
    p.setPen(QColor(20, 40, 110));
    p.drawText(QRectF(0, 0, 62, 31), Qt::AlignCenter, QStringLiteral("Donate"));
    return pixmap;
}

}  // namespace quorv::widgets
