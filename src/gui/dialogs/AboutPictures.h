#pragma once

#include <QPixmap>

namespace quorv::widgets {

// The About box's two pictures, drawn for the device pixel ratio of the screen.
QPixmap ProductPicture();  // 100 x 200
QPixmap DonatePicture();   // 62 x 31

}  // namespace quorv::widgets
