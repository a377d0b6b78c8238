#include "gui/dialogs/IPMapForm.h"

#include <gtest/gtest.h>

#include <QTest>
#include <fstream>

#include "FormFixture.h"
#include "TempFolder.h"
#include "core/Profile.h"
#include "gui/frame/Language.h"

namespace quorv::dialogs {
namespace {

using apply::Profile;
using quorv::testing::Cells;
using quorv::testing::FormFixture;

Profile StaticProfile(const std::string& name) {
    Profile p;
    p.Name = name;
    p.SetAddresses({"10.0.0.5", "10.0.0.6"}, {"255.255.255.0", "255.255.0.0"});
    p.Gateway = "10.0.0.1";
    p.DNS1 = "10.0.0.2";
    p.DNS2 = "10.0.0.3";
    p.Interface = "wlan0";
    p.Printer = "Office";
    p.Icon = apply::kIconWireless;
    p.Script = "echo one\r\necho two";
    return p;
}

using IPMap = FormFixture;

TEST_F(IPMap, TypedStaticProfileIsStoredAndListed) {
    On<TIPMapForm>([](TIPMapForm& form) {
        EXPECT_EQ(form.windowTitle(), "IP 설정 - [Office]");
        EXPECT_EQ(form.ComboBox1->currentData().toString(), "eth0");
        EXPECT_EQ(form.ComboBox2->currentText(), "Home(Home Inkjet)");
        Type(form.IPAddrEdit1, "192.168.10.20");
        Type(form.IPAddrEdit2, "255.255.255.0");
        Type(form.IPAddrEdit3, "192.168.10.1");
        Type(form.IPAddrEdit4, "8.8.8.8");
        form.ComboBox1->setCurrentIndex(1);
        form.ComboBox2->setCurrentIndex(0);
        form.btnOK->click();
    });
    ASSERT_EQ(Insert("Office"), QDialog::Accepted);
    EXPECT_TRUE(script.boxes.isEmpty()) << script.boxes.join('|').toStdString();

    const Profile stored = host.Stored("Office");
    EXPECT_EQ(stored.IP, "192.168.10.20");
    EXPECT_EQ(stored.Mask, "255.255.255.0");
    EXPECT_EQ(stored.Gateway, "192.168.10.1");
    EXPECT_EQ(stored.DNS1, "8.8.8.8");
    EXPECT_EQ(stored.DNS2, "");
    EXPECT_EQ(stored.Interface, "wlan0");
    EXPECT_EQ(stored.Printer, "Office");
    EXPECT_EQ(stored.Icon, apply::kIconWired);
    QTreeWidgetItem* row = host.Row("Office");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(Cells(row), (QStringList{"Office", "192.168.10.20", "255.255.255.0", "192.168.10.1",
                                       "8.8.8.8", ""}));
    EXPECT_EQ(row->data(0, Qt::UserRole).toInt(), apply::kIconWired);
}

TEST_F(IPMap, DhcpAndAutomaticDnsRules) {
    On<TIPMapForm>([](TIPMapForm& form) {
        QTest::mouseClick(form.rbDHCP, Qt::LeftButton, {}, QPoint(8, 10));
        EXPECT_FALSE(form.GroupBox1->isEnabled());
        EXPECT_FALSE(form.IPAddrEdit1->Box(0)->isEnabled());
        EXPECT_TRUE(form.rbAutoDNS->isEnabled());
        EXPECT_FALSE(form.btnDetail->isEnabled());
        QTest::mouseClick(form.rbAutoDNS, Qt::LeftButton, {}, QPoint(8, 10));
        EXPECT_FALSE(form.GroupBox2->isEnabled());
        // Back to a static address: automatic DNS goes with it.
        form.rbCustomIP->setChecked(true);
        EXPECT_FALSE(form.rbAutoDNS->isEnabled());
        EXPECT_TRUE(form.rbCustomDNS->isChecked());
        EXPECT_TRUE(form.GroupBox2->isEnabled());
        EXPECT_TRUE(form.btnDetail->isEnabled());
        form.rbDHCP->setChecked(true);
        form.rbAutoDNS->setChecked(true);
        form.cbDefaultPrinter->setChecked(false);
        EXPECT_FALSE(form.ComboBox2->isEnabled());
        form.cbDefaultPrinter->setChecked(true);
        EXPECT_TRUE(form.ComboBox2->isEnabled());
        form.btnOK->click();
    });
    ASSERT_EQ(Insert("Cafe"), QDialog::Accepted);
    const Profile stored = host.Stored("Cafe");
    EXPECT_EQ(stored.IP, "DHCP");
    EXPECT_EQ(stored.Mask + stored.Gateway + stored.DNS1 + stored.DNS2, "");
    EXPECT_EQ(stored.Interface, "eth0");
    EXPECT_EQ(stored.Printer, "Home");
    EXPECT_EQ(stored.Icon, apply::kIconWired);
    EXPECT_EQ(Cells(host.Row("Cafe")), (QStringList{"Cafe", "DHCP", "", "", "", ""}));
}

TEST_F(IPMap, EditShowsTheProfileAndWritesOnlyItsColumns) {
    Profile p = StaticProfile("Home");
    p.Interface = "wlan0";
    p.Printer = "office";  // compared ignoring case
    p.DNS1.clear();
    p.DNS2.clear();
    host.AddProfile(p);
    On<TIPMapForm>([](TIPMapForm& form) {
        EXPECT_TRUE(form.EditMode());
        EXPECT_TRUE(form.rbCustomIP->isChecked());
        EXPECT_EQ(form.IPAddrEdit1->Text(), "10.0.0.5");
        EXPECT_EQ(form.IPAddrEdit2->Text(), "255.255.255.0");
        EXPECT_EQ(form.IPAddrEdit3->Text(), "10.0.0.1");
        // Automatic DNS is not offered with a static address.
        EXPECT_TRUE(form.rbCustomDNS->isChecked());
        EXPECT_EQ(form.IPAddrEdit4->Text(), "");
        EXPECT_EQ(form.ComboBox1->currentIndex(), 1);
        EXPECT_EQ(form.ComboBox2->currentIndex(), 0);
        form.IPAddrEdit1->SetText({});
        Type(form.IPAddrEdit1, "10.0.0.9");
        Type(form.IPAddrEdit4, "1.1.1.1");
        form.btnOK->click();
    });
    ASSERT_EQ(Edit("Home"), QDialog::Accepted);
    const Profile stored = host.Stored("Home");
    EXPECT_EQ(stored.IP, "10.0.0.9,10.0.0.6");
    EXPECT_EQ(stored.Mask, "255.255.255.0,255.255.0.0");
    EXPECT_EQ(stored.DNS1, "1.1.1.1");
    EXPECT_EQ(stored.Interface, "wlan0");
    EXPECT_EQ(stored.Printer, "Office");
    EXPECT_EQ(stored.Icon, apply::kIconWireless);
    EXPECT_EQ(stored.Script, "echo one\r\necho two");
    EXPECT_EQ(host.ProfileCount(), 1);
    EXPECT_EQ(Cells(host.Row("Home")),
              (QStringList{"Home", "10.0.0.9", "255.255.255.0", "10.0.0.1", "1.1.1.1", ""}));
}

TEST_F(IPMap, EditOfADhcpProfileAndOfVanishedConnectionAndPrinter) {
    Profile p;
    p.Name = "Hotel";
    p.SetDhcp();
    p.Interface = "usb0";
    p.Printer = "Gone";
    host.AddProfile(p);
    On<TIPMapForm>([](TIPMapForm& form) {
        EXPECT_TRUE(form.rbDHCP->isChecked());
        EXPECT_FALSE(form.GroupBox1->isEnabled());
        EXPECT_FALSE(form.btnDetail->isEnabled());
        EXPECT_TRUE(form.rbAutoDNS->isChecked());
        EXPECT_FALSE(form.GroupBox2->isEnabled());
        // The stored connection is kept, though this machine has none of that name.
        EXPECT_EQ(form.ComboBox1->currentIndex(), 0);
        EXPECT_EQ(form.ComboBox1->currentData().toString(), "usb0");
        EXPECT_EQ(form.ComboBox1->count(), 3);
        EXPECT_EQ(form.ComboBox2->currentIndex(), 1);
        form.btnOK->click();
    });
    ASSERT_EQ(Edit("Hotel"), QDialog::Accepted);
    Profile stored = host.Stored("Hotel");
    EXPECT_EQ(stored.Interface, "usb0");
    EXPECT_EQ(stored.Printer, "Home");

    // An empty printer stays empty.
    host.profiles.Edit();
    app::WriteProfileText(host.profiles, "Printer", "");
    host.profiles.Post();
    On<TIPMapForm>([](TIPMapForm& form) {
        EXPECT_FALSE(form.cbDefaultPrinter->isChecked());
        EXPECT_FALSE(form.ComboBox2->isEnabled());
        form.btnOK->click();
    });
    ASSERT_EQ(Edit("Hotel"), QDialog::Accepted);
    EXPECT_EQ(host.Stored("Hotel").Printer, "");
}

TEST_F(IPMap, PrintersAreReadOnceBehindTheNotice) {
    host.inventory.PrintersRead = false;
    host.inventory.PrinterNames.clear();
    host.inventory.PrinterCaptions.clear();
    host.texts.SetText("msgReadPrinter", "reading printers");
    int reads = 0;
    bool noticeShown = false;
    bool waitCursor = false;
    TIPMapForm::SetPrinterReader([&](inventory::TInventoryLists& lists) {
        ++reads;
        auto* form = qobject_cast<TIPMapForm*>(QApplication::activeModalWidget());
        noticeShown = form != nullptr && form->Panel1->isVisible() &&
                      form->Panel1->Caption() == "reading printers";
        waitCursor = QApplication::overrideCursor() != nullptr &&
                     QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        lists.PrinterNames = {"Lab"};
        lists.PrinterCaptions = {"Lab Printer"};
        lists.DefaultPrinterIndex = 0;
        lists.PrintersRead = true;
    });
    for (int i = 0; i < 2; ++i) {
        On<TIPMapForm>([](TIPMapForm& form) {
            EXPECT_FALSE(form.Panel1->isVisible());
            EXPECT_EQ(form.ComboBox2->currentText(), "Lab(Lab Printer)");
            form.btnCancel->click();
        });
        EXPECT_EQ(Insert("x"), QDialog::Rejected);
    }
    TIPMapForm::SetPrinterReader({});
    EXPECT_EQ(reads, 1);
    EXPECT_TRUE(noticeShown);
    EXPECT_TRUE(waitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(host.ProfileCount(), 0);
    EXPECT_EQ(host.list.topLevelItemCount(), 0);
}

TEST_F(IPMap, OkRefusesAMissingAddressOrMaskWithFocusOnIt) {
    On<TIPMapForm>([](TIPMapForm& form) { form.btnOK->click(); });
    Box(Msg("msgWrongIP"));
    On<TIPMapForm>([this](TIPMapForm& form) {
        EXPECT_EQ(form.focusWidget(), form.IPAddrEdit1->Box(0));
        EXPECT_EQ(form.Value.IP, "");
        Type(form.IPAddrEdit1, "10.1.1.1");
        form.btnOK->click();
    });
    Box(Msg("msgWrongMask"));
    On<TIPMapForm>([this](TIPMapForm& form) {
        EXPECT_EQ(form.focusWidget(), form.IPAddrEdit2->Box(0));
        EXPECT_EQ(host.list.topLevelItemCount(), 0);
        form.btnCancel->click();
    });
    EXPECT_EQ(Insert("x"), QDialog::Rejected);
    EXPECT_EQ(host.ProfileCount(), 0);
}

TEST_F(IPMap, BadStoredAddressLeavesOnlyItsControlEmpty) {
    Profile p = StaticProfile("Lab");
    p.Gateway = "1.2.3";
    host.AddProfile(p);
    Box("Bad IP address string given to component");
    On<TIPMapForm>([](TIPMapForm& form) {
        EXPECT_EQ(form.IPAddrEdit1->Text(), "10.0.0.5");
        EXPECT_EQ(form.IPAddrEdit3->Text(), "");
        EXPECT_EQ(form.IPAddrEdit4->Text(), "10.0.0.2");
        EXPECT_EQ(form.IPAddrEdit5->Text(), "10.0.0.3");
        EXPECT_EQ(form.ComboBox1->currentIndex(), 1);
        EXPECT_EQ(form.ComboBox2->currentIndex(), 0);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        form.btnOK->click();
    });
    ASSERT_EQ(Edit("Lab"), QDialog::Accepted);
    const Profile stored = host.Stored("Lab");
    EXPECT_EQ(stored.Gateway, "");
    EXPECT_EQ(stored.DNS1, "10.0.0.2");
    EXPECT_EQ(stored.Interface, "wlan0");
    EXPECT_EQ(stored.Printer, "Office");
}

TEST_F(IPMap, AFailingOkKeepsTheDialogOpen) {
    // The main window went away: OK cannot read the connections.
    TIPMapForm form(nullptr);
    form.Value.Name = "x";
    On<TIPMapForm>([this](TIPMapForm& form) {
        form.rbDHCP->setChecked(true);
        settings::SetFormHost(nullptr);
        form.btnOK->click();
        settings::SetFormHost(&host);
    });
    script.Then([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        box->button(QMessageBox::Ok)->click();
    });
    On<TIPMapForm>([](TIPMapForm& form) {
        EXPECT_TRUE(form.isVisible());
        form.btnCancel->click();
    });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    EXPECT_EQ(form.Value.IP, "");
    EXPECT_EQ(host.list.topLevelItemCount(), 0);
    EXPECT_EQ(host.ProfileCount(), 0);
}

TEST_F(IPMap, ALanguageSetsCaptionsAndFontsButNotTheMode) {
    host.language = [this](QWidget* form) {
        form->findChild<QPushButton*>("btnOK")->setText(Msg("msgOK"));
        form->findChild<QWidget*>("Panel1")->setProperty("text", "Reading printers...");
        QFont font = form->font();
        font.setPixelSize(18);
        form->setFont(font);
    };
    TIPMapForm form(nullptr);
    EXPECT_FALSE(form.EditMode());
    EXPECT_EQ(form.btnOK->text(), "추가");
    EXPECT_EQ(form.Panel1->Caption(), "Reading printers...");
    // The larger font widens the address controls, which stay inside their groups.
    for (TIPAddrEdit* edit : form.findChildren<TIPAddrEdit*>()) {
        EXPECT_GT(edit->width(), 100);
        EXPECT_LE(edit->geometry().right(), edit->parentWidget()->width() - 1);
        EXPECT_GE(edit->Box(3)->width(), QFontMetrics(edit->font()).horizontalAdvance("255") + 4);
    }
}

TEST_F(IPMap, LanguageItemsInTheListsCannotShiftTheInventory) {
    quorv::testing::TempFolder folder;
    std::ofstream(folder / "English.dat")
        << "[IPMapForm]\nComboBox1=Wired#13#10Wireless#13#10Spare\nComboBox2=One printer\n";
    settings::TQLanguage language(QString::fromStdString(folder.path()));
    language.SetFileName("English.dat");
    host.language = [&](QWidget* form) { language.TranslateForm(form); };
    On<TIPMapForm>([](TIPMapForm& form) {
        ASSERT_EQ(form.ComboBox1->count(), 2);
        EXPECT_EQ(form.ComboBox1->itemData(1).toString(), "wlan0");
        EXPECT_EQ(form.ComboBox1->itemText(1), "wlan0 — 연결 끊김");
        ASSERT_EQ(form.ComboBox2->count(), 2);
        EXPECT_EQ(form.ComboBox2->currentText(), "Home(Home Inkjet)");
        form.ComboBox1->setCurrentIndex(1);
        form.IPAddrEdit1->SetText("10.1.1.2");
        form.IPAddrEdit2->SetText("255.255.255.0");
        form.IPAddrEdit4->SetText("10.1.1.1");
        form.btnOK->click();
    });
    ASSERT_EQ(Insert("Lab"), QDialog::Accepted);
    EXPECT_EQ(host.Stored("Lab").Interface, "wlan0");
    EXPECT_EQ(host.Stored("Lab").Printer, "Home");
}

TEST_F(IPMap, EditWithoutASelectedRowReadsTheRecord) {
    host.AddProfile(StaticProfile("Home"));
    host.list.clearSelection();
    TIPMapForm form(nullptr);
    form.Value = host.Stored("Home");
    form.btnOK->setText(Msg("msgOK"));
    On<TIPMapForm>([](TIPMapForm& form) {
        EXPECT_EQ(form.IPAddrEdit1->Text(), "10.0.0.5");
        EXPECT_EQ(form.IPAddrEdit5->Text(), "10.0.0.3");
        form.btnOK->click();
    });
    ASSERT_EQ(form.exec(), QDialog::Accepted);
    host.Save(form.Value, "Home");
    EXPECT_EQ(host.Stored("Home").IP, "10.0.0.5,10.0.0.6");
    EXPECT_EQ(host.Stored("Home").DNS2, "10.0.0.3");
}

}  // namespace
}  // namespace quorv::dialogs
