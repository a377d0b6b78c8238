#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <array>

#include "base/Exception.h"
#include "gui/widgets/SimplePanel.h"

namespace quorv::dialogs {

// Raised when a text that is no plain dotted quad is written to an address control.
class EIPAddrError : public Exception {
  public:
    EIPAddrError() : Exception("Bad IP address string given to component") {}
};

// The four-octet address control: four small boxes with fixed dots between them on one
// flat panel, so that it looks like a single text box. Only digits reach the boxes, the
// caret crosses box borders the way a user expects from a dotted address, and each octet
// is capped at 255.
class TIPAddrEdit : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kBoxes = 4;

    explicit TIPAddrEdit(QWidget* parent = nullptr);

    // The dotted quad the boxes hold: empty when all four are empty; an empty box counts
    // as 0 and leading zeros are dropped.
    QString Text() const;
    // Fills the boxes from a plain dotted quad (no leading zeros, octets up to 255) and
    // selects box 0; an empty text empties them. Anything else raises
    // EIPAddrError and leaves the boxes as they were.
    void SetText(const QString& text);
    // The check SetText makes, without changing anything.
    static void CheckText(const QString& text);
    // True when SetText would take the text.
    static bool IsValidText(const QString& text);
    // Some boxes filled and some empty: Text() would read the empty ones as 0, which is
    // rarely what the user meant.
    bool IsPartial() const;
    // A whole dotted quad (blanks around it allowed) fills all four boxes; anything else
    // changes nothing and gives false. What Ctrl+V and the context menu's paste do when
    // the clipboard holds more than one octet.
    bool PasteAddress(const QString& text);

    QLineEdit* Box(int k) const { return boxes_[static_cast<size_t>(k)]; }
    QLabel* Dot(int k) const { return dots_[static_cast<size_t>(k)]; }
    TSimplePanel* Panel() const { return panel_; }

    // 100 x 21, wider when the font needs wider boxes.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    int BoxWidth() const;

  signals:
    // After a box's text has changed; not for an octet that was capped.
    void OnChange(QLineEdit* box);
    // The focus has left the control (not just moved between its boxes).
    void Left();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void PlaceParts();
    int BoxIndex(QObject* object) const;
    bool BoxKeyPress(int b, QKeyEvent* event);
    void BoxChange(int b);
    void SetBoxesEditable();
    void FocusBox(int b, int caret);
    void PasteClipboard();
    void BoxContextMenu(int b, const QPoint& pos);
    void ApplyColors();
    static void ShowSelection(QLineEdit* box, bool shown);

    TSimplePanel* panel_;
    std::array<QLineEdit*, kBoxes> boxes_{};
    std::array<QLabel*, kBoxes - 1> dots_{};
    // Set while the control changes its boxes itself: no caret advance then.
    bool quiet_ = false;
    bool internalFocus_ = false;
    // The box the caret moved into after a full one, until the next key.
    int advancedInto_ = -1;
};

}  // namespace quorv::dialogs
