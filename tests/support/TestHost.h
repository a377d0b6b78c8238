#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/Profile.h"
#include "gui/frame/FormHost.h"
#include "gui/frame/MessageTexts.h"
#include "store/StoreTable.h"

namespace quorv::testing {

// A main window for the dialogs: a real data file under a temporary folder with its two
// tables open, a six-column ListView1 (the icon index as each row's Qt::UserRole), the
// message texts and the inventory lists. It sets itself as the process-wide host for its
// lifetime.
class TestHost : public settings::IFormHost {
  public:
    TestHost();
    ~TestHost() override;
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    void ApplyLanguage(QWidget* form) override;
    const settings::TMessageTexts& MessageTexts() const override { return texts; }
    inventory::TInventoryLists& Inventory() override { return inventory; }
    store::TStoreTable& ProfileTable() override { return profiles; }
    store::TStoreTable& OptionTable() override { return options; }
    void LoadProfileList() override;

    // Stores a profile and refills the list; returns its row.
    QTreeWidgetItem* AddProfile(const apply::Profile& profile);
    // Saves a profile the IP dialog returned as the main window does: over the profile
    // named storedName, or new; then refills the list.
    void Save(const apply::Profile& profile, const std::optional<std::string>& storedName);
    QTreeWidgetItem* Row(const QString& name);
    // The stored profile of that name, read through the store.
    apply::Profile Stored(const std::string& name);
    int ProfileCount() { return profiles.RecordCount(); }
    // Closes both tables, so another program can open the data file.
    void CloseTables();

    std::string dataFile;
    settings::TMessageTexts texts;
    inventory::TInventoryLists inventory;
    store::TStoreTable profiles;
    store::TStoreTable options;
    QTreeWidget list;
    // Forms the language was applied to, by object name; a hook may change captions.
    QStringList translated;
    std::function<void(QWidget*)> language;

  private:
    std::string folder_;
};

}  // namespace quorv::testing
