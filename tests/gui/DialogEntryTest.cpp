// The dialogs as a desktop user drives them: keys, paste, the mask filled in, incomplete
// addresses, the shared value rules and the connection list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "FormFixture.h"
#include "TempFolder.h"
#include "core/ProfileExchange.h"
#include "gui/dialogs/AboutForm.h"
#include "gui/dialogs/AddIPForm.h"
#include "gui/dialogs/DialogFrame.h"
#include "gui/dialogs/IPDetailForm.h"

namespace quorv::dialogs {
namespace {

using apply::Profile;
using quorv::testing::FormFixture;

using Entry = FormFixture;

// Presses a key in whatever has the focus in the dialog.
void Press(QWidget* dialog, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* focused = dialog->focusWidget();
    QTest::keyClick(focused ? focused : dialog, key, mods);
}

// The in-place editor of a list, the one still shown.
QLineEdit* Editor(QTreeWidget* list) {
    for (QLineEdit* editor : list->findChildren<QLineEdit*>()) {
        if (!editor->isHidden()) {
            return editor;
        }
    }
    return nullptr;
}

void WaitForBox(const QStringList& boxes) {
    for (int i = 0; i < 200 && boxes.isEmpty(); ++i) {
        QTest::qWait(10);
    }
}

QString IncompleteText(const QString& field) {
    return Message("msgIncompleteAddress").arg(field);
}

TEST_F(Entry, TabFollowsTheLayoutAndEnterConfirms) {
    On<TIPMapForm>([](TIPMapForm& form) {
        form.ComboBox1->setFocus();
        // Each pair of radio buttons is one stop; the arrow keys choose within it.
        const QList<QWidget*> expected{form.rbDHCP,
                                       form.IPAddrEdit1->Box(0),
                                       form.IPAddrEdit2->Box(0),
                                       form.IPAddrEdit3->Box(0),
                                       form.rbCustomDNS,
                                       form.IPAddrEdit4->Box(0),
                                       form.IPAddrEdit5->Box(0),
                                       form.cbDefaultPrinter,
                                       form.ComboBox2,
                                       form.btnDetail,
                                       form.btnOK,
                                       form.btnCancel};
        for (QWidget* next : expected) {
            Press(&form, Qt::Key_Tab);
            ASSERT_EQ(form.focusWidget(), next)
                << "after Tab: " << form.focusWidget()->objectName().toStdString() << ", expected "
                << next->objectName().toStdString();
        }
        // With an automatic address the address boxes are passed over; the DNS pair, both
        // enabled now, is still one stop.
        form.rbDHCP->click();
        form.rbDHCP->setFocus();
        Press(&form, Qt::Key_Tab);
        EXPECT_EQ(form.focusWidget(), form.rbCustomDNS);

        form.rbCustomIP->click();
        form.IPAddrEdit1->SetText("192.0.2.9");
        form.IPAddrEdit2->SetText("255.255.255.0");
        form.IPAddrEdit4->SetText("192.0.2.53");
        form.IPAddrEdit4->Box(3)->setFocus();
        Press(&form, Qt::Key_Return);
    });
    ASSERT_EQ(Insert("Keys"), QDialog::Accepted);
    EXPECT_EQ(host.Stored("Keys").DNS1, "192.0.2.53");

    // Escape cancels from an address box as well.
    On<TIPMapForm>([](TIPMapForm& form) {
        form.IPAddrEdit1->setFocus();
        Press(&form, Qt::Key_Escape);
    });
    EXPECT_EQ(Insert("Gone"), QDialog::Rejected);
}

TEST_F(Entry, EnterOnAFocusedButtonPressesThatButton) {
    On<TIPMapForm>([](TIPMapForm& form) {
        form.btnCancel->setFocus();
        Press(&form, Qt::Key_Return);
    });
    EXPECT_EQ(Insert("Cancelled"), QDialog::Rejected);
    EXPECT_EQ(host.ProfileCount(), 0);
}

TEST_F(Entry, EnterConfirmsTheAddressDialogAndTheAboutBox) {
    QTreeWidget list;
    TAddIPForm add(&list, nullptr);
    On<TAddIPForm>([](TAddIPForm& form) {
        form.IPAddrEdit1->SetText("10.1.2.3");
        form.IPAddrEdit2->SetText("255.255.0.0");
        form.IPAddrEdit2->setFocus();
        Press(&form, Qt::Key_Enter);
    });
    EXPECT_EQ(add.exec(), QDialog::Accepted);
    ASSERT_EQ(list.topLevelItemCount(), 1);
    EXPECT_EQ(list.topLevelItem(0)->text(1), "255.255.0.0");

    widgets::TAboutForm about;
    On<widgets::TAboutForm>([](widgets::TAboutForm& form) { Press(&form, Qt::Key_Return); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
}

TEST_F(Entry, PastingAWholeAddressFillsEveryBox) {
    On<TIPMapForm>([](TIPMapForm& form) {
        TIPAddrEdit* gateway = form.IPAddrEdit3;
        QApplication::clipboard()->setText(QStringLiteral("  10.20.30.40\n"));
        gateway->Box(2)->setFocus();
        QTest::keyClick(gateway->Box(2), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(gateway->Text(), "10.20.30.40");

        // Not an address: nothing changes, whichever way it is pasted.
        for (const char* text : {"hello", "10.20.30", "10.20.30.400", "1.2.3.4 5.6.7.8"}) {
            QApplication::clipboard()->setText(QString::fromLatin1(text));
            QTest::keyClick(gateway->Box(1), Qt::Key_V, Qt::ControlModifier);
            QTest::keyClick(gateway->Box(1), Qt::Key_Insert, Qt::ShiftModifier);
            EXPECT_EQ(gateway->Text(), "10.20.30.40") << text;
        }

        // The context menu's paste takes the same way.
        QApplication::clipboard()->setText(QStringLiteral("192.0.2.77"));
        bool pasted = false;
        QTimer::singleShot(50, [&pasted] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                return;
            }
            for (QAction* action : menu->actions()) {
                if (action->text().startsWith(QCoreApplication::translate("QLineEdit", "&Paste"))) {
                    action->trigger();
                    pasted = true;
                }
            }
            menu->close();
        });
        emit form.IPAddrEdit4->Box(0)->customContextMenuRequested(QPoint(2, 2));
        EXPECT_TRUE(pasted);
        EXPECT_EQ(form.IPAddrEdit4->Text(), "192.0.2.77");
        form.btnCancel->click();
    });
    EXPECT_EQ(Insert("Paste"), QDialog::Rejected);
}

TEST_F(Entry, LeavingTheAddressFillsAnEmptyMaskByClass) {
    On<TIPMapForm>([](TIPMapForm& form) {
        const struct {
            const char* address;
            const char* mask;
        } cases[] = {{"10.20.30.40", "255.0.0.0"},
                     {"172.16.5.4", "255.255.0.0"},
                     {"192.0.2.2", "255.255.255.0"},
                     {"224.0.0.9", ""}};
        for (const auto& c : cases) {
            form.IPAddrEdit2->SetText({});
            Type(form.IPAddrEdit1, c.address);
            form.IPAddrEdit3->setFocus();
            EXPECT_EQ(form.IPAddrEdit2->Text(), c.mask) << c.address;
        }
        // The filled mask is typed over as one typed into empty boxes.
        form.IPAddrEdit2->SetText({});
        Type(form.IPAddrEdit1, "10.1.2.3");
        Type(form.IPAddrEdit2, "255.255.0.0");
        EXPECT_EQ(form.IPAddrEdit2->Text(), "255.255.0.0");
        // A mask of the user's own stays; so does an empty one after an incomplete address.
        form.IPAddrEdit2->SetText("255.255.255.128");
        Type(form.IPAddrEdit1, "10.0.0.1");
        form.IPAddrEdit3->setFocus();
        EXPECT_EQ(form.IPAddrEdit2->Text(), "255.255.255.128");
        form.IPAddrEdit2->SetText({});
        form.IPAddrEdit1->SetText({});
        Type(form.IPAddrEdit1, "10.0");
        form.IPAddrEdit3->setFocus();
        EXPECT_EQ(form.IPAddrEdit2->Text(), "");
        form.btnCancel->click();
    });
    EXPECT_EQ(Insert("Mask"), QDialog::Rejected);

    QTreeWidget list;
    TAddIPForm add(&list, nullptr);
    On<TAddIPForm>([](TAddIPForm& form) {
        Type(form.IPAddrEdit1, "172.20.1.1");
        form.btnOK->setFocus();
        EXPECT_EQ(form.IPAddrEdit2->Text(), "255.255.0.0");
        form.btnCancel->click();
    });
    add.exec();
}

TEST_F(Entry, AnIncompleteAddressIsNamedByItsField) {
    On<TIPMapForm>([this](TIPMapForm& form) {
        Type(form.IPAddrEdit1, "10.0");
        form.btnOK->click();
        EXPECT_EQ(form.focusWidget(), form.IPAddrEdit1->Box(0));
        form.IPAddrEdit1->SetText("10.0.0.8");
        form.IPAddrEdit2->SetText("255.255.255.0");
        Type(form.IPAddrEdit3, "10.0.0");
        form.btnOK->click();
        EXPECT_EQ(form.focusWidget(), form.IPAddrEdit3->Box(0));
        form.IPAddrEdit3->SetText({});
        Type(form.IPAddrEdit5, "1.1");
        form.btnOK->click();
        EXPECT_EQ(form.focusWidget(), form.IPAddrEdit5->Box(0));
        EXPECT_EQ(host.ProfileCount(), 0);
        form.btnCancel->click();
    });
    EXPECT_EQ(Insert("Partial"), QDialog::Rejected);
    EXPECT_EQ(script.boxes,
              (QStringList{IncompleteText("IP 주소"), IncompleteText("기본 게이트웨이"),
                           IncompleteText("보조 DNS 서버")}));
}

// Profiles typed into the dialog, and whether it stores them.
struct Typed {
    const char* what;
    const char* ip;
    const char* mask;
    const char* gateway;
    const char* dns1;
    const char* refusal;  // the message key of the box, or nullptr when stored
};

TEST_F(Entry, TheDialogStoresWhatImportTakesBack) {
    const Typed cases[] = {
        {"plain", "192.168.1.20", "255.255.255.0", "192.168.1.1", "192.168.1.1", nullptr},
        {"host route beside", "192.0.2.9", "255.255.255.255", "198.51.100.1", "", nullptr},
        {"point to point", "192.0.2.8", "255.255.255.254", "192.0.2.9", "9.9.9.9", nullptr},
        {"broadcast", "192.168.1.255", "255.255.255.0", "", "", "msgWrongIP"},
        {"network", "10.0.0.0", "255.0.0.0", "", "", "msgWrongIP"},
        {"loopback", "127.0.0.2", "255.0.0.0", "", "", "msgWrongIP"},
        {"holey mask", "10.0.0.5", "255.0.255.0", "", "", "msgWrongMask"},
        {"gateway elsewhere", "192.168.1.20", "255.255.255.0", "192.168.2.1", "",
         "msgWrongGateway"},
        {"multicast DNS", "192.168.1.20", "255.255.255.0", "", "224.0.0.251", "msgWrongDNS"},
    };
    for (const Typed& c : cases) {
        SCOPED_TRACE(c.what);
        QWidget* focused = nullptr;
        QWidget* expectedFocus = nullptr;
        On<TIPMapForm>([&](TIPMapForm& form) {
            form.IPAddrEdit1->SetText(c.ip);
            form.IPAddrEdit2->SetText(c.mask);
            form.IPAddrEdit3->SetText(c.gateway);
            form.IPAddrEdit4->SetText(c.dns1);
            form.btnOK->click();
            if (form.isVisible()) {
                focused = form.focusWidget();
                const QString key = c.refusal ? c.refusal : "";
                expectedFocus = key == "msgWrongIP"        ? form.IPAddrEdit1->Box(0)
                                : key == "msgWrongMask"    ? form.IPAddrEdit2->Box(0)
                                : key == "msgWrongGateway" ? form.IPAddrEdit3->Box(0)
                                                           : form.IPAddrEdit4->Box(0);
                form.btnCancel->click();
            }
        });
        script.boxes.clear();
        const int result = Insert(c.what);
        if (c.refusal == nullptr) {
            EXPECT_EQ(result, QDialog::Accepted);
            EXPECT_TRUE(script.boxes.isEmpty()) << script.boxes.join('|').toStdString();
        } else {
            EXPECT_EQ(result, QDialog::Rejected);
            ASSERT_EQ(script.boxes.size(), 1);
            EXPECT_TRUE(script.boxes[0].startsWith(Msg(c.refusal) + "\n\n"))
                << script.boxes[0].toStdString();
            EXPECT_EQ(focused, expectedFocus);
        }
    }
    // Everything the window kept comes back from its own export.
    quorv::testing::TempFolder folder;
    const QString path = QString::fromStdString(folder.path() + "/all.qic");
    EXPECT_EQ(settings::ExportProfiles(host.profiles, path), 3);
    std::vector<Profile> back;
    ASSERT_NO_THROW(back = settings::ReadExchangeFile(path));
    EXPECT_EQ(back.size(), 3u);
}

TEST_F(Entry, TheAdvancedDialogJudgesEveryRow) {
    Profile p;
    p.Name = "Lab";
    p.SetAddresses({"10.0.0.5", "10.0.1.6"}, {"255.255.255.0", "255.255.255.0"});
    p.Interface = "eth0";
    host.AddProfile(p);
    On<TIPMapForm>([this](TIPMapForm& form) {
        On<TIPDetailForm>([this](TIPDetailForm& detail) {
            // An in-place edit to what is no host address is refused aloud and opened again
            // with the refused text, for the user to mend.
            QTreeWidgetItem* second = detail.ListView1->topLevelItem(1);
            for (const QString bad : {"10.0.1.256", "", "127.0.0.1", "abc", "010.0.1.6"}) {
                detail.ListView1->setCurrentItem(second);
                detail.ListView1->editItem(second, 0);
                QLineEdit* editor = Editor(detail.ListView1);
                ASSERT_NE(editor, nullptr);
                editor->setText(bad);
                script.boxes.clear();
                QTest::keyClick(editor, Qt::Key_Return);
                WaitForBox(script.boxes);
                QTest::qWait(20);
                EXPECT_EQ(second->text(0), "10.0.1.6") << bad.toStdString();
                ASSERT_EQ(script.boxes.size(), 1) << bad.toStdString();
                EXPECT_TRUE(script.boxes[0].startsWith(Msg("msgWrongIP")));
                QLineEdit* again = Editor(detail.ListView1);
                ASSERT_NE(again, nullptr);
                EXPECT_EQ(again->text(), bad);
                QTest::keyClick(again, Qt::Key_Escape);
                QTest::qWait(10);
                QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            }
            // A row OK would refuse points at itself.
            second->setText(0, "10.0.1.255");
            script.boxes.clear();
            detail.btnOK->click();
            ASSERT_EQ(script.boxes.size(), 1);
            EXPECT_NE(script.boxes[0].indexOf("network or broadcast"), -1);
            EXPECT_EQ(detail.ListView1->currentItem(), second);
            second->setText(1, "");
            detail.btnOK->click();
            EXPECT_TRUE(script.boxes.last().startsWith(Msg("msgWrongMask")));
            second->setText(0, "10.0.1.7");
            second->setText(1, "255.255.0.0");
            detail.btnOK->click();
        });
        form.btnDetail->click();
        // The gateway is judged against every subnet, the second one's included.
        form.IPAddrEdit3->SetText("10.0.200.1");
        form.btnOK->click();
    });
    ASSERT_EQ(Edit("Lab"), QDialog::Accepted);
    EXPECT_EQ(host.Stored("Lab").IP, "10.0.0.5,10.0.1.7");
    EXPECT_EQ(host.Stored("Lab").Mask, "255.255.255.0,255.255.0.0");
    EXPECT_EQ(host.Stored("Lab").Gateway, "10.0.200.1");
}

TEST_F(Entry, ConnectionsListedByKindWithStateAndAddress) {
    std::vector<inventory::NetInterface> all = quorv::testing::TwoAdapters();
    all[0].gateways.clear();
    inventory::NetInterface lo;
    lo.index = 1;
    lo.name = "lo";
    lo.loopback = lo.up = true;
    inventory::NetInterface veth;
    veth.index = 7;
    veth.name = "veth-lab";
    veth.kind = "veth";
    veth.up = veth.carrier = true;
    veth.addresses = {{0xC6336401u, 24}};  // 198.51.100.1
    veth.gateways = {0xC63364FEu};
    inventory::NetInterface ifb;
    ifb.index = 5;
    ifb.name = "ifb0";
    ifb.kind = "ifb";
    inventory::NetInterface off = all[1];
    off.index = 4;
    off.name = "eth1";
    off.up = false;
    all.insert(all.begin(), {veth, lo, ifb, off});
    connections = all;
    On<TIPMapForm>([](TIPMapForm& form) {
        QStringList labels;
        for (int i = 0; i < form.ComboBox1->count(); ++i) {
            labels << form.ComboBox1->itemText(i);
        }
        EXPECT_EQ(labels, (QStringList{QStringLiteral("eth0 \u2014 연결됨, 192.0.2.2"),
                                       QStringLiteral("wlan0 \u2014 연결 끊김"),
                                       QStringLiteral("eth1 \u2014 사용 안 함"),
                                       QStringLiteral("veth-lab \u2014 연결됨, 198.51.100.1")}));
        // A new profile is for the connection that carries the default route.
        EXPECT_EQ(form.ComboBox1->currentData().toString(), "veth-lab");
        form.btnCancel->click();
    });
    EXPECT_EQ(Insert("New"), QDialog::Rejected);

    // When the interfaces cannot be read, the inventory's list stands in.
    connections = std::nullopt;
    On<TIPMapForm>([](TIPMapForm& form) {
        EXPECT_EQ(form.ComboBox1->count(), 2);
        EXPECT_EQ(form.ComboBox1->currentText(), "eth0(Intel Ethernet)");
        form.btnCancel->click();
    });
    EXPECT_EQ(Insert("New"), QDialog::Rejected);
}

TEST_F(Entry, AConnectionOfAnotherMachineIsKept) {
    int n = 0;
    for (const char* name : {"Local Area Connection", "", "ETH0"}) {
        SCOPED_TRACE(name);
        const QString profile = QString("Imported %1").arg(++n);
        Profile p;
        p.Name = profile.toStdString();
        p.SetDhcp();
        p.Interface = name;
        host.AddProfile(p);
        On<TIPMapForm>([name](TIPMapForm& form) {
            EXPECT_EQ(form.ComboBox1->currentIndex(), 0);
            EXPECT_EQ(form.ComboBox1->currentData().toString(), name);
            EXPECT_EQ(form.ComboBox1->currentText(),
                      *name ? QString(name) + QStringLiteral(" \u2014 이 컴퓨터에 없음")
                            : QStringLiteral("(연결 지정 안 됨)"));
            form.btnOK->click();
        });
        ASSERT_EQ(Edit(profile), QDialog::Accepted);
        EXPECT_EQ(host.Stored(p.Name).Interface, name);
        // Picking a present one changes it.
        On<TIPMapForm>([](TIPMapForm& form) {
            form.ComboBox1->setCurrentIndex(form.ComboBox1->findData("wlan0"));
            form.btnOK->click();
        });
        ASSERT_EQ(Edit(profile), QDialog::Accepted);
        EXPECT_EQ(host.Stored(p.Name).Interface, "wlan0");
    }

    // A caller may open a new profile for a given connection.
    TIPMapForm form(nullptr);
    form.Value.Name = "From tray";
    form.Value.Interface = "wlan0";
    On<TIPMapForm>([](TIPMapForm& shown) {
        EXPECT_EQ(shown.ComboBox1->currentData().toString(), "wlan0");
        shown.btnCancel->click();
    });
    form.exec();
}

}  // namespace
}  // namespace quorv::dialogs
