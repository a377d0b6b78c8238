#pragma once

#include <QPixmap>

#include "gui/widgets/TQImage.h"

namespace quorv::widgets {

// A picture control that shows other pictures while pointed at and while pressed.
class TQSpeedImage : public TQImage {
    Q_OBJECT
  public:
    explicit TQSpeedImage(QWidget* parent = nullptr);

    // The designed picture: shown now and kept as the one to return to.
    void SetPicture(const QPixmap& picture);
    const QPixmap& NormalPicture() const { return normalPicture_; }
    const QPixmap& MouseEnterPicture() const { return mouseEnterPicture_; }
    const QPixmap& MouseDownPicture() const { return mouseDownPicture_; }
    // The control keeps its own copy; a null picture is ignored.
    void SetMouseEnterPicture(const QPixmap& picture);
    void SetMouseDownPicture(const QPixmap& picture);
    // The picture on the screen now.
    QPixmap ShownPicture() const { return pixmap(); }

  signals:
    void OnClick(QObject* sender);

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    virtual void Clicked() {}

  private:
    QPixmap normalPicture_;
    QPixmap mouseEnterPicture_;
    QPixmap mouseDownPicture_;
    bool pressed_ = false;
};

}  // namespace quorv::widgets
