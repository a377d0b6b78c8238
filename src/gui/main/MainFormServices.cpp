#include "gui/main/MainFormServices.h"

#include "core/SafeServices.h"
#include "gui/dialogs/ConfirmDialogs.h"
#include "gui/dialogs/ReportForm.h"
#include "gui/dialogs/ResultForm.h"
#include "gui/main/WebPages.h"
#include "system/Inventory.h"

namespace quorv::app {

void TMainFormServices::ReadNetworkConnections(inventory::TInventoryLists& lists) {
    inventory::ReadNetworkConnections(lists.ConnectionIDs, lists.AdapterNames);
}

bool TMainFormServices::ApplyProfile(QWidget* owner, const QString& name,
                                     const apply::Profile& profile, bool showScriptWindow,
                                     const apply::ProgressTexts& texts) {
    apply::SystemServices services;
    return apply::ApplyWithProgress(owner, name, profile, showScriptWindow, services, texts)
        .Succeeded();
}

bool TMainFormServices::ApplyProfileSafely(QWidget* owner, const QString& name,
                                           const apply::Profile& profile, bool showScriptWindow,
                                           const apply::ProgressTexts& texts,
                                           const apply::SafeTexts& safeTexts, int seconds) {
    return apply::ApplySafelyWithProgress(owner, name, profile, showScriptWindow, SafeServices(),
                                          texts, safeTexts, seconds,
                                          [owner](const apply::KeepQuestion& question) {
                                              return apply::AskKeepInWindow(owner, question);
                                          });
}

void TMainFormServices::SettlePending(QWidget* owner, const apply::SafeTexts& texts) {
    apply::SettlePendingInWindow(owner, SafeServices(), texts,
                                 [owner](const apply::KeepQuestion& question) {
                                     return apply::AskKeepInWindow(owner, question);
                                 });
}

apply::ApplyServices& TMainFormServices::SafeServices() {
    if (!safeServices_) {
        safeServices_ = std::make_unique<apply::SafeSystemServices>();
    }
    return *safeServices_;
}

void TMainFormServices::OpenWebPage(QWidget* owner, const QUrl& url) {
    OpenWebAddress(owner, url);
}

void TMainFormServices::ShowReport(QWidget* owner) {
    apply::TReportForm form(owner);
    form.exec();
}

}  // namespace quorv::app
