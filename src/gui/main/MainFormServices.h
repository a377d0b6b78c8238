#pragma once

#include <QString>
#include <QUrl>

#include <memory>

#include "core/ApplyRun.h"
#include "core/ConfirmApply.h"
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
    // A safe apply: the progress window, then "Keep these settings?" with a countdown of
    // seconds, then what a restore brought back. True when every step worked and the settings
    // were kept.
    virtual bool ApplyProfileSafely(QWidget* owner, const QString& name,
                                    const apply::Profile& profile, bool showScriptWindow,
                                    const apply::ProgressTexts& texts,
                                    const apply::SafeTexts& safeTexts, int seconds);
    // Settles, by asking, the changes an earlier safe apply left pending, before another apply.
    virtual void SettlePending(QWidget* owner, const apply::SafeTexts& texts);
    // The configuration report, modal over owner.
    virtual void ShowReport(QWidget* owner);
    // Whether the window follows the system's present settings for its marks and tray.
    virtual bool WatchLiveState() const { return true; }
    // One of the maker's web pages in the desktop's browser, or its address in a message.
    virtual void OpenWebPage(QWidget* owner, const QUrl& url);

  protected:
    // What the two above go through; tests put stand-ins here and keep the windows real.
    virtual apply::ApplyServices& SafeServices();

  private:
    std::unique_ptr<apply::ApplyServices> safeServices_;
};

}  // namespace quorv::app
