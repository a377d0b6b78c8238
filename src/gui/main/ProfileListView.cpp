#include "gui/main/ProfileListView.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <algorithm>

#include "core/CommaText.h"
#include "core/ProfileRecord.h"
#include "gui/frame/ErrorBox.h"
#include "gui/main/ImageList.h"
#include "store/KeyCompare.h"
#include "store/StoreTable.h"

namespace quorv::app {

namespace {

// Rows in the store's collation order of their captions, each caption converted once.
void SortByCaption(QList<QTreeWidgetItem*>& rows) {
    std::vector<std::pair<std::string, QTreeWidgetItem*>> keyed;
    keyed.reserve(static_cast<size_t>(rows.size()));
    for (QTreeWidgetItem* row : rows) {
        keyed.emplace_back(row->text(0).toStdString(), row);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return store::CollateText(a.first, b.first, false) < 0;
    });
    for (size_t i = 0; i < keyed.size(); ++i) {
        rows[static_cast<qsizetype>(i)] = keyed[i].second;
    }
}

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// Only what a row shows: the script memo is left unread, which spares its inflating.
apply::Profile ListedColumns(store::TStoreTable& profiles) {
    auto text = [&](const char* column) { return profiles.FieldByName(column).AsString(); };
    apply::Profile p;
    p.Num = profiles.FieldByName("Num").AsInteger();
    p.Name = text("Name");
    p.IP = text("IP");
    p.Mask = text("Mask");
    p.Gateway = text("Gateway");
    p.DNS1 = text("DNS1");
    p.DNS2 = text("DNS2");
    p.Interface = text("Interface");
    p.Printer = text("Printer");
    p.Icon = profiles.FieldByName("Icon").AsInteger();
    return p;
}

}  // namespace

// Hands a confirmed caption to the list instead of writing it straight into the model, so
// the rename rules decide what the row shows.
class TCaptionDelegate : public QStyledItemDelegate {
  public:
    explicit TCaptionDelegate(TProfileListView* view) : QStyledItemDelegate(view), view_(view) {}

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        QTreeWidgetItem* item = view_->itemFromIndex(index);
        if (line == nullptr || item == nullptr) {
            return;
        }
        view_->CommitCaption(item, line->text());
    }

  private:
    TProfileListView* view_;
};

TProfileListView::TProfileListView(const TImageList* images, QWidget* parent)
    : QTreeWidget(parent), images_(images) {
    setObjectName("ListView1");
    setColumnCount(static_cast<int>(std::size(kListColumns)));
    QStringList captions;
    for (const ListColumn& column : kListColumns) {
        captions << column.caption;
    }
    setHeaderLabels(captions);
    for (int i = 0; i < columnCount(); ++i) {
        setColumnWidth(i, kListColumns[i].width);
    }
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setIconSize(QSize(16, 16));
    setContextMenuPolicy(Qt::CustomContextMenu);
    setItemDelegateForColumn(0, new TCaptionDelegate(this));
    connect(model(), &QAbstractItemModel::rowsInserted, this, &TProfileListView::RowsInserted);
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem*, int column) {
        if (column == 0) {
            Resort();
        }
    });
}

QTreeWidgetItem* TProfileListView::Selected() const {
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

void TProfileListView::SetRowImage(QTreeWidgetItem* item, int imageIndex) const {
    item->setIcon(0, images_ ? images_->Icon(imageIndex) : QIcon());
    item->setData(0, Qt::UserRole, imageIndex);
}

void TProfileListView::SetRow(QTreeWidgetItem* item, const apply::Profile& profile) const {
    SetRowImage(item, profile.Icon);
    if (profile.Num != 0) {
        item->setData(0, kRecordRole, profile.Num);
    }
    item->setText(0, Text(profile.Name));
    item->setText(1, Text(apply::CommaTextItem(profile.IP, 0)));
    item->setText(2, Text(apply::CommaTextItem(profile.Mask, 0)));
    item->setText(3, Text(profile.Gateway));
    item->setText(4, Text(profile.DNS1));
    item->setText(5, Text(profile.DNS2));
    apply::Profile listed = profile;
    listed.Script.clear();
    item->setData(0, kProfileRole, QVariant::fromValue(listed));
}

apply::Profile TProfileListView::RowValue(const QTreeWidgetItem* item) {
    return item->data(0, kProfileRole).value<apply::Profile>();
}

QTreeWidgetItem* TProfileListView::AddRow(const apply::Profile& profile) {
    auto* item = new QTreeWidgetItem;
    SetRow(item, profile);
    // RowsInserted makes it editable and sorts it in.
    addTopLevelItem(item);
    return item;
}

void TProfileListView::Load(store::TStoreTable& profiles) {
    clear();
    profiles.Refresh();
    profiles.First();
    const int32_t count = profiles.RecordCount();
    if (count <= 0) {
        return;
    }
    QList<QTreeWidgetItem*> rows;
    rows.reserve(count);
    for (int32_t i = 0; i < count; ++i) {
        auto* item = new QTreeWidgetItem;
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        SetRow(item, ListedColumns(profiles));
        rows.push_back(item);
        profiles.Next();
    }
    SortByCaption(rows);
    loading_ = true;
    addTopLevelItems(rows);
    loading_ = false;
}

QTreeWidgetItem* TProfileListView::FindRow(const QString& name) const {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->text(0) == name) {
            return topLevelItem(i);
        }
    }
    return nullptr;
}

void TProfileListView::RowsInserted(const QModelIndex& parent, int first, int last) {
    if (parent.isValid() || loading_ || sorting_) {
        return;
    }
    // A row added after the load: editable like the loaded ones, and in its place.
    for (int i = first; i <= last; ++i) {
        if (QTreeWidgetItem* item = topLevelItem(i)) {
            QSignalBlocker block(this);
            item->setFlags(item->flags() | Qt::ItemIsEditable);
        }
    }
    Resort();
}

void TProfileListView::Resort() {
    if (sorting_) {
        return;
    }
    const int count = topLevelItemCount();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        rows.push_back(topLevelItem(i));
    }
    QList<QTreeWidgetItem*> sorted = rows;
    SortByCaption(sorted);
    if (sorted == rows) {
        return;
    }
    sorting_ = true;
    QTreeWidgetItem* current = currentItem();
    QTreeWidgetItem* selected = Selected();
    rows = sorted;
    {
        QSignalBlocker block(this);
        invisibleRootItem()->takeChildren();
        addTopLevelItems(rows);
        if (current != nullptr) {
            setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
        }
        if (selected != nullptr) {
            selected->setSelected(true);
        }
    }
    sorting_ = false;
    // The selection is the same row as before; listeners only need a nudge to re-check.
    emit itemSelectionChanged();
}

bool TProfileListView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // Only the caption is edited, wherever in the row the edit was started.
    if (index.isValid() && index.column() != 0) {
        return QTreeWidget::edit(index.siblingAtColumn(0), trigger, event);
    }
    return QTreeWidget::edit(index, trigger, event);
}

void TProfileListView::CommitCaption(QTreeWidgetItem* item, QString name) {
    const QString old = item->text(0);
    // A rename that failed leaves the row as the table has it.
    const bool done = !edited_ || RunCommand(this, [&] { edited_(item, name); });
    item->setText(0, done ? name : old);
}

}  // namespace quorv::app
