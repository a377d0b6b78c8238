#pragma once

#include <QTreeWidget>
#include <functional>

#include "core/Profile.h"

Q_DECLARE_METATYPE(quorv::apply::Profile)

namespace quorv::store {
class TStoreTable;
}

namespace quorv::app {

class TImageList;

// ListView1: one row per profile, kept in the store's collation order of the names so the
// list and FindKey on idxName always agree. Rows added or renamed after a load keep that
// order and stay editable in place.
// The row's record (the profile's Num), kept beside the caption so that a command finds
// the profile the row showed even when another program renamed it meanwhile.
inline constexpr int kRecordRole = Qt::UserRole + 1;
// The listed profile's columns (without its script), for the marks of the profile in force.
inline constexpr int kProfileRole = Qt::UserRole + 2;

class TProfileListView : public QTreeWidget {
    Q_OBJECT
  public:
    // Called when an in-place edit is confirmed with the typed name; it may change the
    // name, which the row then takes as its caption.
    using EditedHandler = std::function<void(QTreeWidgetItem* item, QString& name)>;

    TProfileListView(const TImageList* images, QWidget* parent = nullptr);

    void SetEditedHandler(EditedHandler handler) { edited_ = std::move(handler); }

    // The selected row, or nullptr.
    QTreeWidgetItem* Selected() const;
    // The profile a row shows, as SetRow last gave it.
    static apply::Profile RowValue(const QTreeWidgetItem* item);
    // A row's cells and image from a profile.
    void SetRow(QTreeWidgetItem* item, const apply::Profile& profile) const;
    void SetRowImage(QTreeWidgetItem* item, int imageIndex) const;
    // A row for a profile saved after the load, where the order puts it.
    QTreeWidgetItem* AddRow(const apply::Profile& profile);
    // Clears and refills the list from the profile table, in one sort.
    void Load(store::TStoreTable& profiles);
    // The row whose caption is exactly `name`, or nullptr.
    QTreeWidgetItem* FindRow(const QString& name) const;

    // Whether a caption is being edited in place.
    bool Editing() const { return state() == EditingState; }

    // Restores the collation order after a caption changed or a row came in.
    void Resort();

  protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

  private:
    friend class TCaptionDelegate;
    void CommitCaption(QTreeWidgetItem* item, QString name);
    void RowsInserted(const QModelIndex& parent, int first, int last);

    const TImageList* images_;
    EditedHandler edited_;
    bool sorting_ = false;
    bool loading_ = false;
};

// ListView1's column captions and widths, fixed whatever the language.
struct ListColumn {
    const char* caption;
    int width;
};
inline constexpr ListColumn kListColumns[] = {
    {"Name", 150},    {"IP", 100},        {"Subnet Mask", 110},
    {"Gateway", 110}, {"First DNS", 110}, {"Second DNS", 110},
};

}  // namespace quorv::app
