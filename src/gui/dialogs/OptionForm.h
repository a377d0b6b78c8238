#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "gui/frame/KeepOption.h"

class QWidget;

namespace quorv::store {
class TStoreTable;
}

namespace quorv::settings {

// The options dialog: what a double-click on a profile does, whether the configuration
// report follows an apply run, whether script lines run in a visible window, and whether an
// apply asks to keep the new settings (the last one per user, not in the data file).
class TOptionForm : public QDialog {
    Q_OBJECT
  public:
    explicit TOptionForm(QWidget* owner);

    QLabel* lblDClickAction;
    QComboBox* cbDClick;
    QCheckBox* cbShowIPInfo;
    QCheckBox* cbShowScript;
    QCheckBox* cbAskKeep;
    QLabel* lblKeepSeconds;
    QSpinBox* seKeepSeconds;
    QPushButton* btnOK;
    QPushButton* btnCancel;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FitLabel();
};

// Puts the stored option values into the dialog; a missing row leaves its control as
// designed. A "DblClickAction" that is not an integer raises the conversion error after
// the other two are loaded, with the first item still selected.
void LoadOptions(TOptionForm& form, store::TStoreTable& options);

// Writes the three rows from the dialog, adding a missing row with the dialog's value.
// A "DblClickAction" that matched no item, and that the user left unchosen, keeps its row.
void StoreOptions(const TOptionForm& form, store::TStoreTable& options);

// The keep-or-restore option into the dialog, and back.
void LoadKeepOption(TOptionForm& form, const KeepOption& option);
KeepOption StoredKeepOption(const TOptionForm& form);

// The options command: load, show modally, store on OK (the keep option in the host's
// per-user settings). A bad stored value is shown in
// the standard error box and the dialog opens all the same, so it can be repaired. Store
// errors while writing propagate to the caller.
void acOptionExecute(QWidget* owner);

}  // namespace quorv::settings
