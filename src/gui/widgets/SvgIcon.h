#pragma once

#include <QIcon>
#include <QString>

namespace quorv::widgets {

// An icon drawn from an SVG file when a size of it is first wanted, each size and mode
// once. Unlike an icon made from the file name, making it reads nothing: windows that
// make many pictures pay only for those they show, and the file is parsed once.
QIcon SvgIcon(const QString& file);

}  // namespace quorv::widgets
