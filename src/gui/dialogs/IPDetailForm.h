#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "core/Profile.h"
#include "gui/widgets/TabSheet.h"

namespace quorv::dialogs {

class TIPMapForm;

// The advanced dialog: every address of the profile with its mask, and the user's
// script lines. It lives while its IP dialog is shown, starts from that dialog's profile,
// and reads and sets that dialog's first address and mask.
class TIPDetailForm : public QDialog {
    Q_OBJECT
  public:
    explicit TIPDetailForm(TIPMapForm* owner);

    // The IP dialog's profile. OK sets the columns this dialog owns, IP, Mask and Script,
    // for the IP dialog to take over; a refused OK changes nothing.
    apply::Profile Value;

    QTabWidget* PageControl1;
    TTabSheet* TabSheet1;
    QGroupBox* gbIP;
    QTreeWidget* ListView1;
    QPushButton* btnAdd;
    QPushButton* btnEdit;
    QPushButton* btnDelete;
    QGroupBox* gbScript;
    QPlainTextEdit* Memo1;
    QPushButton* btnOK;
    QPushButton* btnCancel;

    // Adds a row at the end of ListView1.
    QTreeWidgetItem* AddRow(const QString& address, const QString& mask);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void CreateControls();
    void FormCreate();
    void ListView1SelectItem();
    void btnAddClick(QPushButton* sender);
    void btnDeleteClick();
    void btnOKClick();
    bool WriteValue();

    TIPMapForm* owner_;
    bool centred_ = false;
};

}  // namespace quorv::dialogs
