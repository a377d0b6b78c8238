#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

#include "core/Profile.h"
#include "core/ProfileChecks.h"
#include "gui/widgets/FirstActivation.h"
#include "gui/widgets/IPAddrEdit.h"
#include "gui/widgets/SimplePanel.h"
#include "system/InventoryLists.h"

namespace quorv::dialogs {

// The dialog in which a profile is created or edited. It works on a profile value and
// never on the data file: the opener saves what OK leaves in Value.
//
// Opening it:
//   TIPMapForm form(mainWindow);
//   form.Value = profile;  // a new one with its name, or the stored one
//   form.setWindowTitle(form.windowTitle() + " - [" + name + "]");
//   // edit mode only: form.btnOK->setText(msgOK text)
//   if (form.exec() == QDialog::Accepted) { /* save form.Value */ }
class TIPMapForm : public QDialog {
    Q_OBJECT
  public:
    explicit TIPMapForm(QWidget* owner);

    // The profile shown in edit mode. OK sets the columns this dialog owns: IP, Mask,
    // Gateway, DNS1, DNS2, Interface and Printer; the advanced dialog's OK sets IP, Mask
    // and Script. Name and Icon stay as the opener gave them. A refused OK changes nothing.
    apply::Profile Value;

    // Edit mode exactly when btnOK's caption is the msgOK text.
    bool EditMode() const;

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
    void FillConnections();
    void FillFromProfile();
    void btnOKClick();
    bool WriteValue();
    // The control that holds a refused value; the advanced button for the further
    // addresses and the script.
    QWidget* FieldOf(const apply::RefusedValue& refused) const;
    void btnDetailClick();
};

}  // namespace quorv::dialogs
