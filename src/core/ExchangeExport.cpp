#include "core/ExchangeRules.h"
#include "core/ProfileExchange.h"
#include "core/ProfileRecord.h"
#include "store/StoreTable.h"
#include "system/IniFile.h"

namespace quorv::settings {

namespace {

QString Text(const std::string& value) {
    return QString::fromStdString(OneLine(value));
}

void WriteSection(platform::TIniFile& ini, int number, const apply::Profile& p) {
    const QString section = QStringLiteral("Record_") + QString::number(number);
    for (const apply::ProfileTextColumn& column : apply::kProfileTextColumns) {
        ini.SetValue(section, QLatin1String(column.name), Text(p.*column.member));
    }
    ini.SetValue(section, QStringLiteral("Icon"), QString::number(p.Icon));
    ini.SetValue(section, QStringLiteral("Script"),
                 QString::fromStdString(ScriptToExchange(p.Script)));
}

}  // namespace

int ExportProfiles(store::TStoreTable& profiles, const QString& path,
                   std::vector<std::string>* splitScripts) {
    platform::TIniFile ini;
    int count = 0;
    try {
        profiles.Refresh();
        for (profiles.First(); !profiles.Eof(); profiles.Next()) {
            const apply::Profile p = app::ReadProfile(profiles);
            WriteSection(ini, ++count, p);
            if (splitScripts && p.Script.find(',') != std::string::npos) {
                splitScripts->push_back(p.Name);
            }
        }
        if (count > 0) {
            // Scripts and addresses are as private here as in the data file.
            ini.Save(path, platform::TFileMode::Private);
        }
    } catch (const platform::EIniError& e) {
        throw EExchangeError(e.what());
    } catch (const std::exception& e) {
        throw EExchangeError("Cannot export the profiles to \"" + path.toStdString() +
                             "\": " + e.what());
    }
    return count;
}

}  // namespace quorv::settings
