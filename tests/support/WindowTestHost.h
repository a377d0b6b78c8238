#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "WindowTestApplication.h"
#include "core/DataFile.h"
#include "gui/frame/FormHost.h"
#include "gui/frame/MessageTexts.h"
#include "store/StoreTable.h"

namespace quorv::testing {

// Stands in for the main window: a real data file on a temporary path with both tables
// open, and a record of what the windows asked of it. Installed as the process's host
// for its lifetime.
class WindowTestHost : public settings::IFormHost {
  public:
    WindowTestHost() {
        const app::DataFileStatus status =
            app::OpenDataFile(folder_ / app::kDataFileName, profiles_, options_);
        if (!status.Ok()) {
            throw std::runtime_error(status.profileError + status.optionError);
        }
        settings::SetFormHost(this);
    }
    ~WindowTestHost() override { settings::SetFormHost(nullptr); }

    void ApplyLanguage(QWidget* form) override { translated.push_back(form->objectName()); }
    const settings::TMessageTexts& MessageTexts() const override { return texts_; }
    inventory::TInventoryLists& Inventory() override { return inventory_; }
    store::TStoreTable& ProfileTable() override { return profiles_; }
    store::TStoreTable& OptionTable() override { return options_; }
    void LoadProfileList() override {}
    void ShowException(const std::exception& error) override {
        errors.push_back(error.what());
        if (onError) {
            onError();
        }
        if (defaultErrorBox) {
            IFormHost::ShowException(error);
        }
    }

    const TempFolder& Folder() const { return folder_; }

    std::vector<QString> translated;
    std::vector<std::string> errors;
    std::function<void()> onError;  // runs inside the error report, as a modal box would
    bool defaultErrorBox = false;   // also show the box every host has unless it has its own

  private:
    TempFolder folder_;
    store::TStoreTable profiles_;
    store::TStoreTable options_;
    settings::TMessageTexts texts_;
    inventory::TInventoryLists inventory_;
};

// Acts on the next modal window once it is up (a dialog's exec() blocks the test).
inline void WhenModal(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, act = std::move(act)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        }
    });
    poll->start();
}

}  // namespace quorv::testing
