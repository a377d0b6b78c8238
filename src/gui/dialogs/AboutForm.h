#pragma once

#include <QDialog>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>

#include "gui/widgets/TQImage.h"
#include "gui/widgets/TQLabel.h"
#include "gui/widgets/TQURLImage.h"
#include "gui/widgets/TQURLLabel.h"

namespace quorv::widgets {

// The About box: the product's name and version, an introduction in the interface
// language, a link to the maker's web page and a donation button.
class TAboutForm : public QDialog {
    Q_OBJECT
  public:
    explicit TAboutForm(QWidget* owner = nullptr);

    QFrame* Panel2;
    TQImage* Image1;
    TQLabel* Label1;
    TQLabel* Label2;
    TQLabel* Label3;
    TQURLLabel* QURLLabel2;
    QPlainTextEdit* Memo1;
    TQURLImage* QURLImage1;
    QPushButton* btnOK;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate();
};

// The introduction text in Korean when the stored language is "Korea", in English for
// any other value; lines joined by CR LF.
QString AboutText(const QString& language);

}  // namespace quorv::widgets
