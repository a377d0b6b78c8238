#pragma once

#include <QString>
#include <QUrl>

#include "core/ApplyRun.h"
#include "core/Profile.h"
#include "system/InventoryLists.h"

class QWidget;

namespace quorv::app {

// What the main window asks of the system beyond its own tables: reading the connections,
// an apply run and the configuration report. Tests put doubles in their place.
class TMainFormServices {
  public:
    virtual ~TMainFormServices() = default;

    virtual void ReadNetworkConnections(inventory::TInventoryLists& lists);
    // The progress window for one profile, modal over owner. True when every step worked.
    virtual bool ApplyProfile(QWidget* owner, const QString& name, const apply::Profile& profile,
                              bool showScriptWindow, const apply::ProgressTexts& texts);
    // The configuration report, modal over owner.
    virtual void ShowReport(QWidget* owner);
    // Whether the window follows the system's present settings for its marks and tray.
    virtual bool WatchLiveState() const { return true; }
    // One of the maker's web pages in the desktop's browser, or its address in a message.
    virtual void OpenWebPage(QWidget* owner, const QUrl& url);
};

}  // namespace quorv::app
