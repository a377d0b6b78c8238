#pragma once

#include <QDialog>
#include <QStringList>

#include <string>
#include <vector>

#include "core/ProfileExchange.h"

class QComboBox;
class QLabel;

namespace quorv::settings {

// Asked during an import when profiles name connections this machine does not have: one
// row per such name with a choice of this machine's adapters, "keep as it is" first.
class TConnectionMapForm : public QDialog {
    Q_OBJECT

  public:
    // `names`: the unknown connection names, each once; `connectionIDs` and `adapterNames`:
    // the inventory lists; `text` and `keepText`: the message texts of the language shown.
    TConnectionMapForm(QWidget* owner, const std::vector<std::string>& names,
                       const QStringList& connectionIDs, const QStringList& adapterNames,
                       const QString& text, const QString& keepText);

    // Each name whose row chose an adapter, with that adapter.
    ConnectionMap Mapping() const;

    QLabel* lblMapText;
    std::vector<QComboBox*> Adapters;  // one per name, named cbAdapter1, cbAdapter2, ...

  private:
    std::vector<std::string> names_;
};

}  // namespace quorv::settings
