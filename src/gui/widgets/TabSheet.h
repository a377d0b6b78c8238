#pragma once

#include <QString>
#include <QWidget>

namespace quorv::dialogs {

// A page of a notebook whose caption is its tab's text, so a language can set it like
// any other control's caption.
class TTabSheet : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ Caption WRITE SetCaption)

  public:
    using QWidget::QWidget;

    QString Caption() const;
    void SetCaption(const QString& caption);
};

}  // namespace quorv::dialogs
