#pragma once

#include <QString>

#include "gui/widgets/TQSpeedLabel.h"

namespace quorv::widgets {

// A speed label that opens its web address when clicked.
class TQURLLabel : public TQSpeedLabel {
    Q_OBJECT
  public:
    explicit TQURLLabel(QWidget* parent = nullptr);

    QString URL() const { return url_; }
    // A non-empty address shows the hand pointer over the label.
    void SetURL(const QString& url);

  protected:
    void Clicked() override;

  private:
    QString url_;
};

}  // namespace quorv::widgets
