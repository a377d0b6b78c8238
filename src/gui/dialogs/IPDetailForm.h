#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "gui/widgets/TabSheet.h"

namespace quorv::dialogs {

class TIPMapForm;

// The advanced dialog: every address of the profile with its mask, and the user's
// script lines. It lives while its IP dialog is shown, reads and sets that dialog's
// first address and mask, and writes IP, Mask and Script of the current record on OK.
class TIPDetailForm : public QDialog {
    Q_OBJECT
  public:
    explicit TIPDetailForm(TIPMapForm* owner);

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
    bool WriteRecord();

    TIPMapForm* owner_;
    bool centred_ = false;
};

}  // namespace quorv::dialogs
