#include "gui/dialogs/ConnectionMapForm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "core/ProfileChecks.h"

namespace quorv::settings {

TConnectionMapForm::TConnectionMapForm(QWidget* owner, const std::vector<std::string>& names,
                                       const QStringList& connectionIDs,
                                       const QStringList& adapterNames, const QString& text,
                                       const QString& keepText)
    : QDialog(owner), names_(names) {
    setObjectName(QStringLiteral("ConnectionMapForm"));
    setWindowTitle(owner != nullptr && !owner->window()->windowTitle().isEmpty()
                       ? owner->window()->windowTitle()
                       : QStringLiteral("Quorv IP Changer"));
    auto* layout = new QVBoxLayout(this);
    lblMapText = new QLabel(text, this);
    lblMapText->setObjectName(QStringLiteral("lblMapText"));
    lblMapText->setWordWrap(true);
    lblMapText->setTextFormat(Qt::PlainText);
    layout->addWidget(lblMapText);
    auto* rows = new QFormLayout;
    for (size_t i = 0; i < names_.size(); ++i) {
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("cbAdapter%1").arg(i + 1));
        combo->addItem(keepText);
        for (qsizetype k = 0; k < connectionIDs.size(); ++k) {
            const QString adapter = adapterNames.value(k);
            combo->addItem(
                adapter.isEmpty() || adapter == connectionIDs[k]
                    ? connectionIDs[k]
                    : connectionIDs[k] + QStringLiteral(" (") + adapter + QLatin1Char(')'),
                connectionIDs[k]);
        }
        auto* label = new QLabel(QString::fromStdString(apply::ShownValue(names_[i])), this);
        label->setObjectName(QStringLiteral("lblConnection%1").arg(i + 1));
        label->setTextFormat(Qt::PlainText);
        rows->addRow(label, combo);
        Adapters.push_back(combo);
    }
    layout->addLayout(rows);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("ButtonBox"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

ConnectionMap TConnectionMapForm::Mapping() const {
    ConnectionMap map;
    for (size_t i = 0; i < names_.size(); ++i) {
        if (Adapters[i]->currentIndex() > 0) {
            map[names_[i]] = Adapters[i]->currentData().toString().toStdString();
        }
    }
    return map;
}

}  // namespace quorv::settings
