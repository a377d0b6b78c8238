#pragma once

#include <QString>

#include "gui/widgets/TQSpeedImage.h"

namespace quorv::widgets {

// A speed image that opens its web address when clicked.
class TQURLImage : public TQSpeedImage {
    Q_OBJECT
  public:
    explicit TQURLImage(QWidget* parent = nullptr);

    QString URL() const { return url_; }
    void SetURL(const QString& url);

  protected:
    void Clicked() override;

  private:
    QString url_;
};

}  // namespace quorv::widgets
