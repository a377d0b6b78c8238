#include "gui/dialogs/IPDetailForm.h"

#include <gtest/gtest.h>

#include <QInputMethodEvent>
#include <QTest>

#include "FormFixture.h"
#include "core/Profile.h"
#include "gui/dialogs/AddIPForm.h"

namespace quorv::dialogs {
namespace {

using apply::Profile;
using quorv::testing::Cells;

QStringList Rows(const TIPDetailForm& form) {
    QStringList rows;
    for (int i = 0; i < form.ListView1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = form.ListView1->topLevelItem(i);
        rows << row->text(0) + "/" + row->text(1);
    }
    return rows;
}

class Advanced : public quorv::testing::FormFixture {
  protected:
    // A static profile with the given lists, edited; `steps` run in the advanced dialog
    // opened from the IP dialog, which then presses OK.
    void EditWithAdvanced(const std::string& ip, const std::string& mask,
                          std::function<void(TIPDetailForm&)> steps, bool thenOk = true) {
        Profile p;
        p.Name = "Lab";
        p.IP = ip;
        p.Mask = mask;
        p.Interface = "eth0";
        p.Script = "echo stored";
        host.AddProfile(p);
        On<TIPMapForm>([](TIPMapForm& form) { form.btnDetail->click(); });
        On<TIPDetailForm>(std::move(steps));
        On<TIPMapForm>([thenOk](TIPMapForm& form) {
            if (thenOk) {
                form.btnOK->click();
            } else {
                form.btnCancel->click();
            }
        });
        Edit("Lab");
    }
};

TEST_F(Advanced, RowsFollowTheListsAndGoBackUnchanged) {
    host.language = [](QWidget* form) {
        if (auto* page = form->findChild<QWidget*>("TabSheet1")) {
            page->setProperty("text", "IP Settings");
        }
    };
    EditWithAdvanced(
        "10.0.0.5,10.0.0.6,10.0.0.7", "255.255.255.0,255.255.0.0", [this](TIPDetailForm& form) {
            EXPECT_EQ(form.objectName(), "IPDetailForm");
            EXPECT_EQ(form.windowTitle(), "고급 설정");
            EXPECT_EQ(form.size(), QSize(449, 397));
            EXPECT_EQ(Rows(form),
                      (QStringList{"10.0.0.5/255.255.255.0", "10.0.0.6/255.255.0.0", "10.0.0.7/"}));
            EXPECT_EQ(form.Memo1->toPlainText(), "echo stored");
            EXPECT_FALSE(form.btnEdit->isEnabled());
            EXPECT_FALSE(form.btnDelete->isEnabled());
            // The third address has no mask: refused, pointing at its row.
            Box(Msg("msgWrongMask") + "\n\nIP address \"10.0.0.7\" has no subnet mask");
            form.btnOK->click();
            EXPECT_EQ(form.ListView1->currentItem(), form.ListView1->topLevelItem(2));
            EXPECT_EQ(form.Value.Mask, "255.255.255.0,255.255.0.0");
            form.ListView1->topLevelItem(2)->setText(1, "255.255.255.0");
            form.btnOK->click();
            EXPECT_EQ(form.Value.IP, "10.0.0.5,10.0.0.6,10.0.0.7");
            EXPECT_EQ(form.Value.Mask, "255.255.255.0,255.255.0.0,255.255.255.0");
        });
    EXPECT_EQ(host.Stored("Lab").IP, "10.0.0.5,10.0.0.6,10.0.0.7");
    EXPECT_EQ(host.translated, (QStringList{"IPMapForm", "IPDetailForm"}));
}

TEST_F(Advanced, RowsAreAddedEditedAndDeletedThroughTheAddressDialog) {
    EditWithAdvanced("10.0.0.5", "255.0.0.0", [this](TIPDetailForm& form) {
        On<TAddIPForm>([this](TAddIPForm& add) {
            EXPECT_EQ(add.windowTitle(), "TCP/IP 주소");
            EXPECT_EQ(add.size(), QSize(370, 102));
            EXPECT_FALSE(add.EditMode());
            add.btnOK->click();
        });
        Box(Msg("msgWrongIP"));
        On<TAddIPForm>([this](TAddIPForm& add) {
            EXPECT_EQ(add.focusWidget(), add.IPAddrEdit1->Box(0));
            Type(add.IPAddrEdit1, "10.0.0.6");
            add.btnOK->click();
        });
        Box(Msg("msgWrongMask"));
        On<TAddIPForm>([](TAddIPForm& add) {
            EXPECT_EQ(add.focusWidget(), add.IPAddrEdit2->Box(0));
            Type(add.IPAddrEdit2, "255.255.0.0");
            add.btnOK->click();
        });
        form.btnAdd->click();
        EXPECT_EQ(Rows(form), (QStringList{"10.0.0.5/255.0.0.0", "10.0.0.6/255.255.0.0"}));

        form.ListView1->setCurrentItem(form.ListView1->topLevelItem(1));
        EXPECT_TRUE(form.btnEdit->isEnabled());
        On<TAddIPForm>([this](TAddIPForm& add) {
            EXPECT_TRUE(add.EditMode());
            EXPECT_EQ(add.btnOK->text(), Msg("msgOK"));
            EXPECT_EQ(add.IPAddrEdit1->Text(), "10.0.0.6");
            add.IPAddrEdit2->SetText({});
            Type(add.IPAddrEdit2, "255.255.255.128");
            add.btnOK->click();
        });
        form.btnEdit->click();
        EXPECT_EQ(Rows(form), (QStringList{"10.0.0.5/255.0.0.0", "10.0.0.6/255.255.255.128"}));

        form.ListView1->setCurrentItem(form.ListView1->topLevelItem(0));
        form.btnDelete->click();
        EXPECT_EQ(Rows(form), (QStringList{"10.0.0.6/255.255.255.128"}));
        form.btnOK->click();
    });
    const Profile stored = host.Stored("Lab");
    EXPECT_EQ(stored.IP, "10.0.0.6");
    EXPECT_EQ(stored.Mask, "255.255.255.128");
    EXPECT_EQ(Cells(host.Row("Lab")).mid(1, 2), (QStringList{"10.0.0.6", "255.255.255.128"}));
}

TEST_F(Advanced, ANewProfileStartsWithWhatTheBoxesHold) {
    On<TIPMapForm>([this](TIPMapForm& form) {
        On<TIPDetailForm>([](TIPDetailForm& detail) {
            EXPECT_EQ(Rows(detail), QStringList{"/"});
            detail.btnOK->click();
        });
        form.btnDetail->click();
        EXPECT_EQ(form.Value.IP, "");
        EXPECT_EQ(form.Value.Mask, "");
        Type(form.IPAddrEdit1, "10.9.9.9");
        Type(form.IPAddrEdit2, "255.0.0.0");
        // Typed after the advanced OK: the next opening shows it, not the stored empty row.
        On<TIPDetailForm>([](TIPDetailForm& detail) {
            EXPECT_EQ(Rows(detail), QStringList{"10.9.9.9/255.0.0.0"});
            detail.Memo1->setFocus();
            QTest::keyClick(detail.Memo1, Qt::Key_Return);
            QTest::keyClicks(detail.Memo1, "  ipconfig /all");
            QTest::keyClick(detail.Memo1, Qt::Key_Return);
            QTest::keyClicks(detail.Memo1, "echo ");
            QInputMethodEvent korean;
            korean.setCommitString(QStringLiteral("완료 "));
            QApplication::sendEvent(detail.Memo1, &korean);
            QTest::keyClick(detail.Memo1, Qt::Key_Return);
            QTest::keyClick(detail.Memo1, Qt::Key_Return);
            detail.btnOK->click();
        });
        form.btnDetail->click();
        form.btnOK->click();
    });
    ASSERT_EQ(Insert("New"), QDialog::Accepted);
    const Profile stored = host.Stored("New");
    EXPECT_EQ(stored.IP, "10.9.9.9");
    EXPECT_EQ(stored.Mask, "255.0.0.0");
    EXPECT_EQ(stored.Script, "ipconfig /all\r\necho 완료");
}

TEST_F(Advanced, TheFirstRowIsWhatTheIPDialogShowsNow) {
    Profile p;
    p.Name = "Lab";
    p.SetAddresses({"10.0.0.5", "10.0.0.6"}, {"255.0.0.0", "255.255.0.0"});
    host.AddProfile(p);
    On<TIPMapForm>([this](TIPMapForm& form) {
        form.IPAddrEdit1->SetText({});
        Type(form.IPAddrEdit1, "10.0.0.99");
        On<TIPDetailForm>([](TIPDetailForm& detail) {
            EXPECT_EQ(Rows(detail), (QStringList{"10.0.0.99/255.0.0.0", "10.0.0.6/255.255.0.0"}));
            detail.btnOK->click();
        });
        form.btnDetail->click();
        form.btnOK->click();
    });
    ASSERT_EQ(Edit("Lab"), QDialog::Accepted);
    EXPECT_EQ(host.Stored("Lab").IP, "10.0.0.99,10.0.0.6");
}

TEST_F(Advanced, ARowWithoutAnAddressIsRefused) {
    EditWithAdvanced(
        "10.0.0.5,10.0.0.6", "255.0.0.0,255.255.0.0",
        [this](TIPDetailForm& form) {
            for (const char* bad : {"", "010.0.0.5"}) {
                form.ListView1->topLevelItem(0)->setText(0, bad);
                Box(Msg("msgWrongIP") + "\n\n", true);
                form.btnOK->click();
                // Refused: the rows and the script are still there, nothing was written.
                EXPECT_TRUE(form.isVisible());
                EXPECT_EQ(Rows(form).value(1), "10.0.0.6/255.255.0.0");
                EXPECT_EQ(form.Value.IP, "10.0.0.5,10.0.0.6");
                EXPECT_EQ(form.focusWidget(), form.ListView1);
            }
            form.btnCancel->click();
        },
        false);
}

TEST_F(Advanced, InPlaceEditsTakeOnlyAddresses) {
    EditWithAdvanced("10.0.0.5", "255.0.0.0", [](TIPDetailForm& form) {
        QTreeWidgetItem* row = form.ListView1->topLevelItem(0);
        form.ListView1->setCurrentItem(row);
        form.ListView1->editItem(row, 0);
        auto* editor = form.ListView1->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->clear();
        QTest::keyClicks(editor, " 10.1.1.1 ");
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits from a queued call and deletes the editor later.
        QTest::qWait(10);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(row->text(0), "10.1.1.1");
        // The mask column has no editor of its own.
        form.ListView1->editItem(row, 1);
        QTest::qWait(10);
        EXPECT_EQ(form.ListView1->findChildren<QLineEdit*>().size(), 0);
        form.btnCancel->click();
    });
    EXPECT_EQ(host.Stored("Lab").IP, "10.0.0.5");
}

TEST_F(Advanced, EmptyOrTooLongListsAndScriptsAreRefused) {
    EditWithAdvanced("10.0.0.5", "255.0.0.0", [this](TIPDetailForm& form) {
        form.ListView1->setCurrentItem(form.ListView1->topLevelItem(0));
        form.btnDelete->click();
        EXPECT_FALSE(form.btnDelete->isEnabled());
        Box(Msg("msgEmptyIP"));
        form.btnOK->click();
        form.AddRow("10.0.0.5", "255.0.0.0");
        for (int i = 0; i < 17; ++i) {
            form.AddRow("192.168.100.100", "255.255.255.0");
        }
        Box(Msg("msgIPListTooLong"));
        form.btnOK->click();
        EXPECT_TRUE(form.isVisible());
        while (form.ListView1->topLevelItemCount() > 1) {
            delete form.ListView1->topLevelItem(1);
        }
        form.Memo1->setPlainText(QString("echo\n").repeated(1001));
        Box("the script has more than 1000 lines");
        form.btnOK->click();
        EXPECT_EQ(form.focusWidget(), form.Memo1);
        EXPECT_EQ(form.Value.Script, "echo stored");
        form.btnCancel->click();
    });
}

}  // namespace
}  // namespace quorv::dialogs
