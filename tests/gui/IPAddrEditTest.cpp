#include "gui/widgets/IPAddrEdit.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "ModalScript.h"

namespace quorv::dialogs {
namespace {

// The control in a window of its own, active, so typing reaches the focused box.
class AddrEdit : public ::testing::Test {
  protected:
    void SetUp() override {
        window_.resize(200, 60);
        edit = new TIPAddrEdit(&window_);
        edit->move(10, 10);
        other = new QLineEdit(&window_);
        other->setGeometry(10, 35, 100, 20);
        window_.show();
        window_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
        edit->setFocus();
    }

    QStringList Boxes() const {
        QStringList texts;
        for (int k = 0; k < TIPAddrEdit::kBoxes; ++k) {
            texts << edit->Box(k)->text();
        }
        return texts;
    }
    QWidget* Focused() const { return QApplication::focusWidget(); }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(Focused(), key, mods);
    }
    // Each character goes to the box that has the focus by then.
    void Type(const QString& text) {
        for (QChar c : text) {
            QTest::keyClick(Focused(), c.toLatin1());
        }
    }

    QWidget window_;
    TIPAddrEdit* edit = nullptr;
    QLineEdit* other = nullptr;
};

TEST_F(AddrEdit, TypedAddressesFillTheBoxesInOrder) {
    // The automatic advance after three digits and the period advance both work, and a
    // period after a full box does not skip one.
    Type("192.168.1.5");
    EXPECT_EQ(Boxes(), (QStringList{"192", "168", "1", "5"}));
    EXPECT_EQ(edit->Text(), "192.168.1.5");

    edit->SetText({});
    edit->setFocus();
    for (Qt::Key key : {Qt::Key_1, Qt::Key_0, Qt::Key_Period, Qt::Key_0, Qt::Key_Period, Qt::Key_7,
                        Qt::Key_Period, Qt::Key_2}) {
        Key(key, Qt::KeypadModifier);
    }
    EXPECT_EQ(edit->Text(), "10.0.7.2");

    // Space advances like the period; neither does anything on an empty box.
    edit->SetText({});
    edit->setFocus();
    Type(". 1 2");
    EXPECT_EQ(Boxes(), (QStringList{"1", "2", "", ""}));
}

TEST_F(AddrEdit, CaretCrossesBoxBordersAtTheEdges) {
    Type("10.16.");
    ASSERT_EQ(Focused(), edit->Box(2));
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Focused(), edit->Box(1));
    EXPECT_EQ(edit->Box(1)->text(), "1");
    EXPECT_EQ(edit->Box(1)->cursorPosition(), 1);

    Key(Qt::Key_Right);
    EXPECT_EQ(Focused(), edit->Box(2));
    EXPECT_EQ(edit->Box(2)->cursorPosition(), 0);
    Key(Qt::Key_Left);
    EXPECT_EQ(Focused(), edit->Box(1));
    EXPECT_EQ(edit->Box(1)->cursorPosition(), 1);
    // Inside a box the arrows only move the caret.
    Key(Qt::Key_Left);
    EXPECT_EQ(Focused(), edit->Box(1));
    EXPECT_EQ(edit->Box(1)->cursorPosition(), 0);
    // Box 0 and box 3 are the ends: no wrapping.
    edit->Box(3)->setFocus();
    Key(Qt::Key_Right);
    EXPECT_EQ(Focused(), edit->Box(3));
    edit->Box(0)->setFocus();
    edit->Box(0)->setCursorPosition(0);
    Key(Qt::Key_Left);
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Focused(), edit->Box(0));
    EXPECT_EQ(edit->Text(), "10.1.0.0");
}

TEST_F(AddrEdit, OnlyPlainDigitsEnter) {
    QApplication::clipboard()->setText("12");
    Type("a");
    Key(Qt::Key_1, Qt::ShiftModifier);
    Key(Qt::Key_V, Qt::ControlModifier);
    Key(Qt::Key_Insert, Qt::ShiftModifier);
    Type("-+,/");
    EXPECT_EQ(edit->Text(), "");
    // The refusal lasts one key press.
    Type("7");
    EXPECT_EQ(edit->Box(0)->text(), "7");
    EXPECT_FALSE(edit->Box(0)->isReadOnly());
}

TEST_F(AddrEdit, TextAroundTheKeysHoldsTheSameRule) {
    QLineEdit* box = edit->Box(1);
    for (const char* pasted : {"1a", "x", " 12", "-1"}) {
        QApplication::clipboard()->setText(pasted);
        box->paste();
        EXPECT_EQ(box->text(), "") << pasted;
    }
    // Like a typed one, a long paste stops at three digits.
    QApplication::clipboard()->setText("1234");
    box->paste();
    EXPECT_EQ(box->text(), "123");
    box->clear();
    QApplication::clipboard()->setText("42");
    box->paste();
    EXPECT_EQ(box->text(), "42");

    // An input method's commit: Korean text is dropped, digits go in.
    QInputMethodEvent korean;
    korean.setCommitString(QStringLiteral("가나"));
    QApplication::sendEvent(box, &korean);
    EXPECT_EQ(box->text(), "42");
    EXPECT_FALSE(box->testAttribute(Qt::WA_InputMethodEnabled));

    // Whatever got in reads back as a dotted quad the control takes again.
    EXPECT_EQ(edit->Text(), "0.42.0.0");
    EXPECT_NO_THROW(edit->SetText(edit->Text()));
}

TEST_F(AddrEdit, OctetAbove255IsCappedWithAnError) {
    QSignalSpy changes(edit, &TIPAddrEdit::OnChange);
    quorv::testing::ModalScript script;
    Type("300");
    ASSERT_EQ(script.boxes.size(), 1);
    EXPECT_EQ(script.boxes[0],
              "300 is not a valid entry. Please specify a value between 0 and 255 for this "
              "field.");
    EXPECT_EQ(edit->Box(0)->text(), "255");
    EXPECT_EQ(edit->Box(0)->selectedText(), "255");
    // Changes were 3, 30 and the capped 255; the rejected 300 was never reported.
    ASSERT_EQ(changes.size(), 3);
    for (const QList<QVariant>& change : changes) {
        EXPECT_EQ(change[0].value<QLineEdit*>(), edit->Box(0));
    }
}

TEST_F(AddrEdit, TextReadsAndWritesDottedQuads) {
    EXPECT_EQ(edit->Text(), "");
    edit->Box(0)->setText("192");
    edit->Box(1)->setText("168");
    edit->Box(3)->setText("1");
    EXPECT_EQ(edit->Text(), "192.168.0.1");
    edit->SetText({});
    edit->Box(0)->setText("10");
    EXPECT_EQ(edit->Text(), "10.0.0.0");
    edit->Box(0)->setText("007");
    EXPECT_EQ(edit->Text(), "7.0.0.0");

    edit->SetText("192.168.0.1");
    for (const char* bad : {"010.0.0.1", "1.2.3", "1.2.3.4.5", "256.0.0.1", "1.2.3.4 ",
                            "1111.2.3.4", "1..3.4", "a.b.c.d", "-1.2.3.4", "100.100.100.1000"}) {
        EXPECT_THROW(edit->SetText(bad), EIPAddrError) << bad;
        EXPECT_EQ(edit->Text(), "192.168.0.1") << bad;
    }
    try {
        edit->SetText("1.2.3");
    } catch (const EIPAddrError& e) {
        EXPECT_STREQ(e.what(), "Bad IP address string given to component");
    }
    edit->SetText("0.0.0.0");
    EXPECT_EQ(edit->Text(), "0.0.0.0");
    edit->SetText("255.255.255.255");
    EXPECT_EQ(Boxes(), (QStringList{"255", "255", "255", "255"}));
    EXPECT_EQ(edit->Box(0)->selectedText(), "255");
    edit->SetText("");
    EXPECT_EQ(Boxes(), (QStringList{"", "", "", ""}));
    // Writing moves no focus.
    other->setFocus();
    edit->SetText("123.123.123.123");
    EXPECT_EQ(Focused(), other);
}

TEST_F(AddrEdit, LayoutFocusAndColours) {
    // The classic small font gives the classic layout; a larger one widens the boxes
    // until three digits fit.
    TIPAddrEdit fresh;
    QFont small = fresh.font();
    small.setPixelSize(8);
    fresh.setFont(small);
    fresh.resize(fresh.sizeHint());
    EXPECT_EQ(fresh.size(), QSize(100, 21));
    EXPECT_EQ(fresh.minimumWidth(), 100);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(fresh.Box(k)->geometry(), QRect(1 + 24 * k, 1, 21, 19)) << k;
        EXPECT_EQ(fresh.Box(k)->property("tag").toInt(), k);
        EXPECT_EQ(bool(fresh.Box(k)->focusPolicy() & Qt::TabFocus), k == 0) << k;
    }
    EXPECT_EQ(fresh.Dot(2)->geometry().left(), 70);
    QFont large = small;
    large.setPixelSize(20);
    fresh.setFont(large);
    EXPECT_GT(fresh.sizeHint().width(), 100);
    EXPECT_GE(fresh.minimumWidth(), fresh.sizeHint().width());
    fresh.resize(fresh.sizeHint());
    const int digits = QFontMetrics(large).horizontalAdvance("255");
    EXPECT_GE(fresh.Box(3)->width(), digits + 4);
    EXPECT_LE(fresh.Box(3)->geometry().right(), fresh.width() - 1);

    // Focus given to the control lands in box 0 with its text selected; Tab leaves it
    // from any box.
    edit->SetText("10.1.2.3");
    other->setFocus();
    edit->setFocus();
    EXPECT_EQ(Focused(), edit->Box(0));
    EXPECT_EQ(edit->Box(0)->selectedText(), "10");
    edit->Box(2)->setFocus();
    Key(Qt::Key_Tab);
    EXPECT_EQ(Focused(), other);

    // A click on a dot focuses the box left of it, a click beside the boxes box 3.
    QTest::mouseClick(edit->Dot(1), Qt::LeftButton);
    EXPECT_EQ(Focused(), edit->Box(1));
    EXPECT_EQ(edit->Box(1)->cursorPosition(), 1);
    QTest::mouseClick(edit->Panel(), Qt::LeftButton, {}, QPoint(98, 10));
    EXPECT_EQ(Focused(), edit->Box(3));

    // Disabled, every part takes the button colour.
    const QPalette palette = QApplication::palette();
    edit->setEnabled(false);
    EXPECT_EQ(edit->Panel()->Color(), palette.color(QPalette::Active, QPalette::Button));
    EXPECT_EQ(edit->Box(2)->palette().color(QPalette::Disabled, QPalette::Base),
              palette.color(QPalette::Active, QPalette::Button));
}

}  // namespace
}  // namespace quorv::dialogs
