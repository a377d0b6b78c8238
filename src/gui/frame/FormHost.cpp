#include "gui/frame/FormHost.h"

#include <QTreeWidget>

namespace quorv::settings {

QTreeWidgetItem* IFormHost::AddProfileRow(const TProfileRow& row) {
    auto* item = new QTreeWidgetItem;
    item->setData(0, Qt::UserRole, row.Icon);
    item->setText(0, row.Name);
    for (int i = 0; i < row.Cells.size(); ++i) {
        item->setText(i + 1, row.Cells[i]);
    }
    ProfileList()->addTopLevelItem(item);
    return item;
}

void IFormHost::SetProfileRow(QTreeWidgetItem* item, const QString& name,
                              const QStringList& cells) {
    item->setText(0, name);
    for (int i = 0; i < cells.size(); ++i) {
        item->setText(i + 1, cells[i]);
    }
}

namespace {
IFormHost* gHost = nullptr;
}

IFormHost* FormHost() {
    return gHost;
}

void SetFormHost(IFormHost* host) {
    gHost = host;
}

}  // namespace quorv::settings
