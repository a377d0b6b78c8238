#pragma once

#include <QString>
#include <QStringList>
#include <exception>

#include "system/InventoryLists.h"

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace quorv::store {
class TStoreTable;
}

namespace quorv::settings {

class TMessageTexts;

// What one row of ListView1 shows: the caption, the picture of a profile icon (11, 12,
// 13) and the cells of the columns IP, Subnet Mask, Gateway, First DNS and Second DNS.
struct TProfileRow {
    QString Name;
    int Icon = 11;
    QStringList Cells;
};

// What the main window shares with the windows it opens. They reach it through the one
// process-wide host, which is set while the main window exists; tests set their own.
class IFormHost {
  public:
    virtual ~IFormHost() = default;

    // Translates a window through the current language; every window calls it from its
    // create step.
    virtual void ApplyLanguage(QWidget* form) = 0;
    // The standard error box, for a command that reports an error and carries on.
    // The default is a critical box titled with the program's name.
    virtual void ShowException(const std::exception& error);
    virtual const TMessageTexts& MessageTexts() const = 0;
    virtual inventory::TInventoryLists& Inventory() = 0;
    // StoreTable1 (tblIPList) and StoreTable2 (tblOption), open for the whole run.
    virtual store::TStoreTable& ProfileTable() = 0;
    virtual store::TStoreTable& OptionTable() = 0;
    // ListView1, whose rows the IP dialog adds and renames.
    virtual QTreeWidget* ProfileList() = 0;
    // Refills ListView1 from the profile table (after an import).
    virtual void LoadProfileList() = 0;
    // The stored value Language: "Korea", "English" or empty.
    virtual QString Language() const { return QString(); }

    // Adds a row where the list's order puts it and returns it. The default adds a
    // plain row and keeps the icon index as the row's data (Qt::UserRole); the main
    // window shows the picture and sorts as its list does.
    virtual QTreeWidgetItem* AddProfileRow(const TProfileRow& row);
    // Sets a row's caption and cells, leaving its picture; the list keeps its order.
    virtual void SetProfileRow(QTreeWidgetItem* item, const QString& name,
                               const QStringList& cells);
};

// The host, or nullptr when none is set.
IFormHost* FormHost();
void SetFormHost(IFormHost* host);

}  // namespace quorv::settings
