#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace quorv::dialogs {

// A flat panel that paints itself completely in one pass: bevels, border, fill and
// caption. It never has its background erased first, so hosting edit boxes on it does
// not flicker.
class TSimplePanel : public QWidget {
    Q_OBJECT
    // Under the name windows translate captions by.
    Q_PROPERTY(QString text READ Caption WRITE SetCaption)

  public:
    enum class Bevel { None, Raised, Lowered };

    explicit TSimplePanel(QWidget* parent = nullptr);

    Bevel BevelOuter = Bevel::None;
    Bevel BevelInner = Bevel::None;
    int BevelWidth = 1;
    int BorderWidth = 0;
    // Single line: a one-pixel frame in the text colour around everything else.
    bool SingleBorder = false;
    Qt::Alignment Alignment = Qt::AlignHCenter;

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    QColor Color() const { return color_; }
    void SetColor(const QColor& color);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString caption_;
    QColor color_;
};

}  // namespace quorv::dialogs
