#pragma once

#include <QColor>

#include "gui/widgets/TQLabel.h"

namespace quorv::widgets {

// A label whose text colour follows the mouse: normal, pointed at, pressed.
class TQSpeedLabel : public TQLabel {
    Q_OBJECT
  public:
    explicit TQSpeedLabel(QWidget* parent = nullptr);

    QColor NormalColor() const { return normalColor_; }
    // Also paints the text in it at once; the other two only take effect on mouse events.
    void SetNormalColor(const QColor& color);
    QColor MouseDownColor() const { return mouseDownColor_; }
    void SetMouseDownColor(const QColor& color) { mouseDownColor_ = color; }
    QColor MouseEnterColor() const { return mouseEnterColor_; }
    void SetMouseEnterColor(const QColor& color) { mouseEnterColor_ = color; }

    // The colour the text is painted in now.
    QColor FontColor() const;

  signals:
    // A left-button click released over the label.
    void OnClick(QObject* sender);

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Runs after OnClick; the URL label opens its address here.
    virtual void Clicked() {}

  private:
    void SetFontColor(const QColor& color);

    QColor normalColor_;
    QColor mouseDownColor_ = Qt::red;
    QColor mouseEnterColor_ = Qt::blue;
    bool pressed_ = false;
    bool entered_ = false;
};

}  // namespace quorv::widgets
