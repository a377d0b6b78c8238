#pragma once

#include <QLabel>

namespace quorv::widgets {

// A label that tells when the pointer enters and leaves it.
class TQLabel : public QLabel {
    Q_OBJECT
  public:
    explicit TQLabel(QWidget* parent = nullptr);

  signals:
    void OnMouseEnter(QObject* sender);
    void OnMouseLeave(QObject* sender);

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
};

}  // namespace quorv::widgets
