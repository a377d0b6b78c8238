#include "gui/frame/PlacementStorage.h"

#include <QFileInfo>
#include <QSettings>

#include "base/Exception.h"
#include "system/IniFile.h"

namespace quorv::settings {

namespace {

// As an organisation name alone it gives $XDG_CONFIG_HOME/QuorvIPChage.conf.
const QString kSection = QStringLiteral("QuorvIPChage");

}  // namespace

std::optional<QString> TRegistryStorage::Read(const QString& name) const {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kSection);
    const QVariant value = settings.value(name);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

void TRegistryStorage::Write(const Values& values) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kSection);
    for (const auto& [name, value] : values)
        settings.setValue(name, value);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        throw Exception("Cannot write the window settings to '" +
                        settings.fileName().toStdString() + "'");
    }
}

TIniFileStorage::TIniFileStorage(QString path) : path_(std::move(path)) {
    try {
        file_ = platform::TIniFile::Load(path_);
    } catch (const platform::EIniError& e) {
        problem_ = e.what();
    }
}

std::optional<QString> TIniFileStorage::Read(const QString& name) const {
    if (!problem_.empty()) {
        return std::nullopt;
    }
    return file_.Find(kSection, name);
}

void TIniFileStorage::Write(const Values& values) {
    if (!problem_.empty()) {
        return;
    }
    for (const auto& [name, value] : values)
        file_.SetValue(kSection, name, value.toString());
    file_.Save(path_);
}

std::unique_ptr<IPlacementStorage> ChoosePlacementStorage(const QString& iniPath) {
    if (!iniPath.isEmpty() && QFileInfo(iniPath).isFile()) {
        return std::make_unique<TIniFileStorage>(iniPath);
    }
    return std::make_unique<TRegistryStorage>();
}

}  // namespace quorv::settings
