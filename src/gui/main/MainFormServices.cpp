#include "gui/main/MainFormServices.h"

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

void TMainFormServices::OpenWebPage(QWidget* owner, const QUrl& url) {
    OpenWebAddress(owner, url);
}

void TMainFormServices::ShowReport(QWidget* owner) {
    apply::TReportForm form(owner);
    form.exec();
}

}  // namespace quorv::app
