#include "gui/widgets/TQURLImage.h"

#include "gui/widgets/OpenURL.h"

namespace quorv::widgets {

TQURLImage::TQURLImage(QWidget* parent) : TQSpeedImage(parent) {}

void TQURLImage::SetURL(const QString& url) {
    url_ = url;
    SetLinkCursor(this, url_);
}

void TQURLImage::Clicked() {
    OpenURL(url_);
}

}  // namespace quorv::widgets
