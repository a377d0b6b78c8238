#include "app/ProfileListView.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <algorithm>

#include "app/ErrorBox.h"
#include "app/ImageList.h"
#include "app/ProfileRecord.h"
#include "apply/CommaText.h"
#include "store/KeyCompare.h"
#include "store/StoreTable.h"

namespace quorv::app {

namespace {

bool CaptionLess(const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
    return store::CollateText(a->text(0).toStdString(), b->text(0).toStdString(), false) < 0;
}

QString Text(const std::string& s) {
    return QString::fromStdString(s);
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
    item->setText(0, Text(profile.Name));
    item->setText(1, Text(apply::CommaTextItem(profile.IP, 0)));
    item->setText(2, Text(apply::CommaTextItem(profile.Mask, 0)));
    item->setText(3, Text(profile.Gateway));
    item->setText(4, Text(profile.DNS1));
    item->setText(5, Text(profile.DNS2));
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
        SetRow(item, ReadProfile(profiles));
        rows.push_back(item);
        profiles.Next();
    }
    std::stable_sort(rows.begin(), rows.end(), CaptionLess);
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
    // A row added by another window: editable like ours, and in its place.
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
    if (std::is_sorted(rows.begin(), rows.end(), CaptionLess)) {
        return;
    }
    sorting_ = true;
    QTreeWidgetItem* current = currentItem();
    QTreeWidgetItem* selected = Selected();
    std::stable_sort(rows.begin(), rows.end(), CaptionLess);
    {
        QSignalBlocker block(this);
        while (topLevelItemCount() > 0) {
            takeTopLevelItem(0);
        }
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
