#include "gui/widgets/SvgIcon.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
#include <memory>

namespace quorv::widgets {

namespace {

class TSvgIconEngine : public QIconEngine {
  public:
    explicit TSvgIconEngine(QString file) : file_(std::move(file)) {}

    QIconEngine* clone() const override { return new TSvgIconEngine(file_); }

    bool isNull() override { return !Renderer().isValid(); }

    // The picture's own proportions within `size`, as QIcon's SVG engine gives them.
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        QSize natural = Renderer().isValid() ? Renderer().defaultSize() : QSize();
        if (natural.isEmpty()) {
            return {};
        }
        natural.scale(size, Qt::KeepAspectRatio);
        return natural;
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        const QString key = QStringLiteral("%1x%2/%3")
                                .arg(size.width())
                                .arg(size.height())
                                .arg(static_cast<int>(mode));
        if (const auto found = drawn_.constFind(key); found != drawn_.cend()) {
            return *found;
        }
        QPixmap picture;
        if (const QSize actual = actualSize(size, mode, state); !actual.isEmpty()) {
            picture = QPixmap(actual);
            picture.fill(Qt::transparent);
            QPainter painter(&picture);
            Renderer().render(&painter);
            painter.end();
            // Disabled and selected pictures as the style draws them for any icon.
            if (mode != QIcon::Normal &&
                qobject_cast<QApplication*>(QCoreApplication::instance())) {
                QStyleOption option(0);
                option.palette = QGuiApplication::palette();
                const QPixmap styled =
                    QApplication::style()->generatedIconPixmap(mode, picture, &option);
                if (!styled.isNull()) {
                    picture = styled;
                }
            }
        }
        drawn_.insert(key, picture);
        return picture;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        QSize size = rect.size();
        if (painter->device() != nullptr) {
            size *= painter->device()->devicePixelRatio();
        }
        painter->drawPixmap(rect, pixmap(size, mode, state));
    }

  private:
    QSvgRenderer& Renderer() {
        if (!renderer_) {
            renderer_ = std::make_unique<QSvgRenderer>(file_);
        }
        return *renderer_;
    }

    QString file_;
    std::unique_ptr<QSvgRenderer> renderer_;
    QHash<QString, QPixmap> drawn_;
};

}  // namespace

QIcon SvgIcon(const QString& file) {
    return QIcon(new TSvgIconEngine(file));
}

}  // namespace quorv::widgets
