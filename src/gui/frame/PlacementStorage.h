#pragma once

#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "system/IniFile.h"

namespace quorv::settings {

// Where the main window's placement and stored values live: a per-user settings file, or
// QuorvIPChanger.ini beside the program when that file exists.
class IPlacementStorage {
  public:
    using Values = std::vector<std::pair<QString, QVariant>>;
    virtual ~IPlacementStorage() = default;
    virtual std::optional<QString> Read(const QString& name) const = 0;
    // Writes every value at once; throws quorv::Exception when they cannot be stored.
    virtual void Write(const Values& values) = 0;
    // Why the stored values could not be read, to be said once; empty when they could.
    virtual std::string Problem() const { return {}; }
};

// The per-user settings (QSettings' native format in the XDG config folder, under the
// name "QuorvIPChage"): the stand-in for the current user's registry key.
class TRegistryStorage : public IPlacementStorage {
  public:
    std::optional<QString> Read(const QString& name) const override;
    void Write(const Values& values) override;
};

// Section "QuorvIPChage" of an INI file, read once and written back after each change;
// every other line of the file is kept. A file that cannot be read (damaged, too large)
// is left alone: nothing is read from it and nothing written over it, so that the
// program still starts and the user's file is not lost.
class TIniFileStorage : public IPlacementStorage {
  public:
    explicit TIniFileStorage(QString path);
    std::optional<QString> Read(const QString& name) const override;
    void Write(const Values& values) override;
    std::string Problem() const override { return problem_; }

  private:
    QString path_;
    platform::TIniFile file_;
    std::string problem_;
};

// The INI back end when `iniPath` names an existing file now, else the registry one.
// The INI file is never created where it did not exist.
std::unique_ptr<IPlacementStorage> ChoosePlacementStorage(const QString& iniPath);

}  // namespace quorv::settings
