#pragma once

#include <QString>
#include <exception>

#include "system/InventoryLists.h"

class QWidget;

namespace quorv::store {
class TStoreTable;
}

namespace quorv::settings {

class TMessageTexts;
class IPlacementStorage;

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
    // StoreTable1 (tblIPList) and StoreTable2 (tblOption), open for the whole run. Import,
    // export and the options write them; the profile dialogs return a profile instead.
    virtual store::TStoreTable& ProfileTable() = 0;
    virtual store::TStoreTable& OptionTable() = 0;
    // Refills ListView1 from the profile table (after an import).
    virtual void LoadProfileList() = 0;
    // The stored value Language: "Korea", "English" or empty.
    virtual QString Language() const { return QString(); }
    // The per-user settings kept with the placement; nullptr when there are none.
    virtual IPlacementStorage* UserSettings() { return nullptr; }
};

// The host, or nullptr when none is set.
IFormHost* FormHost();
void SetFormHost(IFormHost* host);

}  // namespace quorv::settings
