#pragma once

#include <QTimer>
#include <QWidget>

namespace quorv::apply {

// A 16 x 16 busy indicator: eight frames looped for as long as it is shown.
class TBusyAnimation : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kFrames = 8;
    static constexpr int kFrameMs = 100;

    explicit TBusyAnimation(QWidget* parent = nullptr);

    int Frame() const { return frame_; }
    bool Active() const { return timer_.isActive(); }
    QSize sizeHint() const override { return {16, 16}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QTimer timer_;
    int frame_ = 0;
};

}  // namespace quorv::apply
