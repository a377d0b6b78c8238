#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "gui/widgets/IPAddrEdit.h"

namespace quorv::dialogs {

// One address and its mask, added to or changed in the advanced dialog's list. Edit mode
// exactly when btnOK's caption is the msgOK text; it then changes the list's selected row.
class TAddIPForm : public QDialog {
    Q_OBJECT
  public:
    // `list` is the owner's ListView1.
    TAddIPForm(QTreeWidget* list, QWidget* owner);

    bool EditMode() const;

    QLabel* lblIP;
    TIPAddrEdit* IPAddrEdit1;
    QLabel* lblMask;
    TIPAddrEdit* IPAddrEdit2;
    QPushButton* btnOK;
    QPushButton* btnCancel;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void btnOKClick();
    bool WriteRow();

    QTreeWidget* list_;
    bool centred_ = false;
};

}  // namespace quorv::dialogs
