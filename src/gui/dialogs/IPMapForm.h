#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <functional>

#include "gui/widgets/FirstActivation.h"
#include "gui/widgets/IPAddrEdit.h"
#include "gui/widgets/SimplePanel.h"
#include "system/InventoryLists.h"

class QTreeWidgetItem;

namespace quorv::dialogs {

// The dialog in which a profile is created or edited. It writes straight into the
// current record of the main window's profile table, which the opener has put into
// insert or edit state, and on OK adds (insert) or updates (edit) the profile's row of
// ListView1. The opener posts or cancels the record after exec().
//
// Opening it:
//   TIPMapForm form(mainWindow);
//   form.ProfileName = name;
//   form.setWindowTitle(form.windowTitle() + " - [" + name + "]");
//   // edit mode only: form.btnOK->setText(msgOK text), with the profile's row selected
//   table.Insert() or table.Edit();
//   if (form.exec() == QDialog::Accepted) {
//       try { table.Post(); }
//       catch (...) { form.UndoListChange(); table.Cancel(); /* show the error */ }
//   } else {
//       table.Cancel();
//   }
class TIPMapForm : public QDialog {
    Q_OBJECT
  public:
    explicit TIPMapForm(QWidget* owner);

    // The profile's name, set by the opener; written to Name in insert mode.
    QString ProfileName;

    // Edit mode exactly when btnOK's caption is the msgOK text.
    bool EditMode() const;

    // Takes back the list change the last OK made: removes the row it added, or gives the
    // row it updated its earlier caption and cells. For the opener whose post failed;
    // does nothing when OK changed no row.
    void UndoListChange();

    // How printers are read when the inventory has none yet; tests replace it, an empty
    // function restores the system's reader.
    using PrinterReader = std::function<void(inventory::TInventoryLists&)>;
    static void SetPrinterReader(PrinterReader reader);

    QFrame* TabControl1;
    QLabel* lblInterface;
    QComboBox* ComboBox1;
    QWidget* Panel0;
    QRadioButton* rbDHCP;
    QRadioButton* rbCustomIP;
    QGroupBox* GroupBox1;
    QLabel* lblIP;
    TIPAddrEdit* IPAddrEdit1;
    QLabel* lblMask;
    TIPAddrEdit* IPAddrEdit2;
    QLabel* lblGateway;
    TIPAddrEdit* IPAddrEdit3;
    QWidget* Panel2;
    QRadioButton* rbAutoDNS;
    QRadioButton* rbCustomDNS;
    QGroupBox* GroupBox2;
    QLabel* lblDNS1;
    TIPAddrEdit* IPAddrEdit4;
    QLabel* lblDNS2;
    TIPAddrEdit* IPAddrEdit5;
    QCheckBox* cbDefaultPrinter;
    QGroupBox* GroupBox3;
    QLabel* lblPrinter;
    QComboBox* ComboBox2;
    QPushButton* btnDetail;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    TSimplePanel* Panel1;
    TFirstActivation* Activation;

    // The choice rules; checking a button in code runs them as a click does.
    void rbDHCPClick();
    void rbCustomIPClick();
    void rbAutoDNSClick();
    void rbCustomDNSClick();
    void cbDefaultPrinterClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void CreateControls();
    void FormActivate();
    void FillFromProfile();
    void btnOKClick();
    bool WriteRecord();
    void UpdateListRow();
    void btnDetailClick();

    // The undo of the last OK's list change.
    QTreeWidgetItem* addedRow_ = nullptr;
    QTreeWidgetItem* updatedRow_ = nullptr;
    QString oldCaption_;
    QStringList oldCells_;
};

}  // namespace quorv::dialogs
