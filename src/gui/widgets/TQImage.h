#pragma once

#include <QLabel>

namespace quorv::widgets {

// A picture control that tells when the pointer enters and leaves it.
class TQImage : public QLabel {
    Q_OBJECT
  public:
    explicit TQImage(QWidget* parent = nullptr);

    bool Entered() const { return entered_; }

  signals:
    void OnMouseEnter(QObject* sender);
    void OnMouseLeave(QObject* sender);

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    bool entered_ = false;
};

}  // namespace quorv::widgets
