#include "gui/widgets/LazyExtensionStyle.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>
#include <functional>
#include <optional>

namespace quorv::widgets {

namespace {

// An icon made by `make` when something of it is first wanted; it then answers as that
// icon does.
class TDeferredIconEngine : public QIconEngine {
  public:
    explicit TDeferredIconEngine(std::function<QIcon()> make) : make_(std::move(make)) {}

    QIconEngine* clone() const override { return new TDeferredIconEngine(*this); }

    bool isNull() override { return Icon().isNull(); }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return Icon().availableSizes(mode, state);
    }

    // Sizes here are device pixels: ratio 1 asks the made icon for exactly these.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().pixmap(size, 1.0, mode, state);
    }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return pixmap(size, mode, state).size();
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return Icon().pixmap(size / scale, scale, mode, state);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }

  private:
    QIcon& Icon() {
        if (!icon_) {
            icon_ = make_();
        }
        return *icon_;
    }

    std::function<QIcon()> make_;
    std::optional<QIcon> icon_;
};

}  // namespace

TLazyExtensionStyle::TLazyExtensionStyle(const QString& key) : QProxyStyle(key) {}

QIcon TLazyExtensionStyle::standardIcon(StandardPixmap icon, const QStyleOption* option,
                                        const QWidget* widget) const {
    if (icon != SP_ToolBarHorizontalExtensionButton && icon != SP_ToolBarVerticalExtensionButton) {
        return QProxyStyle::standardIcon(icon, option, widget);
    }
    // The direction is the one thing of the request the picture depends on; the style
    // may be gone by the time the picture is drawn.
    QStyleOption request;
    request.direction = option != nullptr ? option->direction : QGuiApplication::layoutDirection();
    const QPointer<QStyle> base = baseStyle();
    return QIcon(new TDeferredIconEngine([base, icon, request] {
        return base ? base->standardIcon(icon, &request, nullptr) : QIcon();
    }));
}

}  // namespace quorv::widgets
