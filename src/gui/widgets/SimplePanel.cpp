#include "gui/widgets/SimplePanel.h"

#include <QFontMetrics>
#include <QPainter>

namespace quorv::dialogs {

namespace {

void DrawBevel(QPainter& painter, QRect& rect, TSimplePanel::Bevel bevel, int width,
               const QPalette& palette) {
    if (bevel == TSimplePanel::Bevel::None) {
        return;
    }
    const bool raised = bevel == TSimplePanel::Bevel::Raised;
    const QColor topLeft = raised ? palette.color(QPalette::Light) : palette.color(QPalette::Dark);
    const QColor bottomRight =
        raised ? palette.color(QPalette::Dark) : palette.color(QPalette::Light);
    for (int i = 0; i < width && rect.width() > 1 && rect.height() > 1; ++i) {
        painter.setPen(topLeft);
        painter.drawLine(rect.topLeft(), rect.topRight());
        painter.drawLine(rect.topLeft(), rect.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(rect.bottomLeft(), rect.bottomRight());
        painter.drawLine(rect.topRight(), rect.bottomRight());
        rect.adjust(1, 1, -1, -1);
    }
}

}  // namespace

TSimplePanel::TSimplePanel(QWidget* parent)
    : QWidget(parent), color_(palette().color(QPalette::Window)) {
    // Everything is painted in paintEvent; an erase before it would only flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

void TSimplePanel::SetCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void TSimplePanel::SetColor(const QColor& color) {
    color_ = color;
    update();
}

void TSimplePanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QRect rect = this->rect();
    if (SingleBorder) {
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        rect.adjust(1, 1, -1, -1);
    }
    DrawBevel(painter, rect, BevelOuter, BevelWidth, palette());
    for (int i = 0; i < BorderWidth; ++i) {
        painter.setPen(color_);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        rect.adjust(1, 1, -1, -1);
    }
    DrawBevel(painter, rect, BevelInner, BevelWidth, palette());
    painter.fillRect(rect, color_);
    if (caption_.isEmpty()) {
        return;
    }
    const QFontMetrics metrics(font());
    const int lineHeight = metrics.boundingRect(QStringLiteral("W")).height();
    QRect band(rect.left(), rect.top() + (rect.height() - lineHeight) / 2, rect.width(),
               lineHeight);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(band, int(Alignment | Qt::AlignVCenter) | Qt::TextExpandTabs, caption_);
}

}  // namespace quorv::dialogs
