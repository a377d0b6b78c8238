#include "gui/widgets/TQURLLabel.h"

#include "gui/widgets/OpenURL.h"

namespace quorv::widgets {

TQURLLabel::TQURLLabel(QWidget* parent) : TQSpeedLabel(parent) {}

void TQURLLabel::SetURL(const QString& url) {
    url_ = url;
    SetLinkCursor(this, url_);
}

void TQURLLabel::Clicked() {
    OpenURL(url_);
}

}  // namespace quorv::widgets
