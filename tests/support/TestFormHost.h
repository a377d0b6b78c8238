#pragma once

#include <QTreeWidget>

#include "ExchangeTestData.h"
#include "gui/frame/FormHost.h"
#include "gui/frame/MessageTexts.h"

namespace quorv::testing {

// The main window's part the windows reach through FormHost(): a real data file on a
// temporary path and a plain ListView1 whose refill shows every profile name in table
// order. Set as the process-wide host for its lifetime.
class TestFormHost : public settings::IFormHost {
  public:
    TestFormHost() {
        list_.setObjectName(QStringLiteral("ListView1"));
        settings::SetFormHost(this);
    }
    ~TestFormHost() override { settings::SetFormHost(nullptr); }

    void ApplyLanguage(QWidget*) override {}
    const settings::TMessageTexts& MessageTexts() const override { return texts_; }
    inventory::TInventoryLists& Inventory() override { return inventory_; }
    store::TStoreTable& ProfileTable() override { return data_.Profiles(); }
    store::TStoreTable& OptionTable() override { return data_.Options(); }
    void LoadProfileList() override {
        ++refills;
        list_.clear();
        for (const apply::Profile& p : data_.All()) {
            list_.addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromStdString(p.Name)}));
        }
    }

    TempDataFile& Data() { return data_; }
    QStringList Rows() const {
        QStringList rows;
        for (int i = 0; i < list_.topLevelItemCount(); ++i) {
            rows.append(list_.topLevelItem(i)->text(0));
        }
        return rows;
    }

    int refills = 0;

  private:
    TempDataFile data_;
    settings::TMessageTexts texts_;
    inventory::TInventoryLists inventory_;
    QTreeWidget list_;
};

}  // namespace quorv::testing
