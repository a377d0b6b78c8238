#include "TestHost.h"

#include <stdlib.h>

#include <filesystem>

#include "core/CommaText.h"
#include "core/DataFile.h"
#include "core/ProfileRecord.h"

namespace quorv::testing {

TestHost::TestHost() {
    std::string pattern = "/tmp/quorv-dialogs-XXXXXX";
    folder_ = ::mkdtemp(pattern.data());
    dataFile = folder_ + "/" + app::kDataFileName;
    app::OpenDataFile(dataFile, profiles, options, [this] { LoadProfileList(); });
    list.setColumnCount(6);
    list.setHeaderLabels({"Name", "IP", "Subnet Mask", "Gateway", "First DNS", "Second DNS"});
    list.setSortingEnabled(true);
    list.sortByColumn(0, Qt::AscendingOrder);
    settings::SetFormHost(this);
}

TestHost::~TestHost() {
    settings::SetFormHost(nullptr);
    CloseTables();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void TestHost::CloseTables() {
    if (profiles.State() == store::TDataSetState::dsInsert ||
        profiles.State() == store::TDataSetState::dsEdit) {
        profiles.Cancel();
    }
    profiles.Close();
    options.Close();
}

void TestHost::ApplyLanguage(QWidget* form) {
    translated << form->objectName();
    if (language) {
        language(form);
    }
}

void TestHost::LoadProfileList() {
    list.clear();
    profiles.Refresh();
    for (profiles.First(); !profiles.Eof(); profiles.Next()) {
        const apply::Profile p = app::ReadProfile(profiles);
        auto* row = new QTreeWidgetItem;
        row->setData(0, Qt::UserRole, p.Icon);
        const std::string cells[] = {p.Name,
                                     apply::CommaTextItem(p.IP, 0),
                                     apply::CommaTextItem(p.Mask, 0),
                                     p.Gateway,
                                     p.DNS1,
                                     p.DNS2};
        for (int i = 0; i < 6; ++i) {
            row->setText(i, QString::fromStdString(cells[i]));
        }
        list.addTopLevelItem(row);
    }
}

QTreeWidgetItem* TestHost::AddProfile(const apply::Profile& profile) {
    profiles.Insert();
    app::WriteProfile(profiles, profile);
    profiles.Post();
    LoadProfileList();
    return Row(QString::fromStdString(profile.Name));
}

void TestHost::Save(const apply::Profile& profile, const std::optional<std::string>& storedName) {
    const bool over = storedName && app::FindProfile(profiles, *storedName);
    app::SaveProfile(profiles, profile, over);
    LoadProfileList();
}

QTreeWidgetItem* TestHost::Row(const QString& name) {
    const QList<QTreeWidgetItem*> rows = list.findItems(name, Qt::MatchExactly, 0);
    return rows.isEmpty() ? nullptr : rows.first();
}

apply::Profile TestHost::Stored(const std::string& name) {
    if (!app::FindProfile(profiles, name)) {
        return {};
    }
    return app::ReadProfile(profiles);
}

}  // namespace quorv::testing
