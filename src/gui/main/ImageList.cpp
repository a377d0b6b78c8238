#include "gui/main/ImageList.h"

#include <QDir>

#include "gui/widgets/SvgIcon.h"

namespace quorv::app {

TImageList::TImageList(QObject* parent) : QObject(parent) {
    setObjectName("ImageList1");
    // The file names begin with the index, so the sorted listing is the list's order.
    const QStringList files = QDir(":/images").entryList({"*.svg"}, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        icons_.push_back(widgets::SvgIcon(":/images/" + file));
    }
}

QIcon TImageList::Icon(int index) const {
    if (index < 0 || index >= Count()) {
        return {};
    }
    return icons_[static_cast<size_t>(index)];
}

}  // namespace quorv::app
