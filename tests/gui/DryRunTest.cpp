#include <gtest/gtest.h>

#include <QTest>

#include "FormFixture.h"
#include "gui/dialogs/AddIPForm.h"
#include "gui/dialogs/IPDetailForm.h"
#include "system/Process.h"

namespace quorv::dialogs {
namespace {

using Lines = std::vector<std::string>;

class TypedProfile : public quorv::testing::FormFixture {
  protected:
    // qic's dry run of a profile on the host's data file, one entry per line.
    Lines DryRun(const std::string& name) {
        const platform::RunOutput run =
            platform::RunAndWaitCaptured({std::string(QUORV_BIN_DIR) + "/qic", "--data",
                                          host.dataFile, "apply", name, "--dry-run"});
        EXPECT_EQ(run.exitCode, 0) << run.standardError;
        Lines lines;
        size_t start = 0;
        const std::string& out = run.standardOutput;
        for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
            lines.push_back(out.substr(start, end - start));
        }
        return lines;
    }
};

TEST_F(TypedProfile, AppliesToTheLinesItsFieldsImply) {
    On<TIPMapForm>([this](TIPMapForm& form) {
        Type(form.IPAddrEdit1, "192.168.10.20");
        Type(form.IPAddrEdit2, "255.255.255.0");
        Type(form.IPAddrEdit3, "192.168.10.1");
        Type(form.IPAddrEdit4, "8.8.8.8");
        Type(form.IPAddrEdit5, "8.8.4.4");
        form.ComboBox1->setCurrentIndex(1);
        form.ComboBox2->setCurrentIndex(0);
        On<TIPDetailForm>([this](TIPDetailForm& detail) {
            On<TAddIPForm>([](TAddIPForm& add) {
                Type(add.IPAddrEdit1, "10.1.0.5");
                Type(add.IPAddrEdit2, "255.255.0.0");
                add.btnOK->click();
            });
            detail.btnAdd->click();
            detail.Memo1->setFocus();
            QTest::keyClicks(detail.Memo1, "ipconfig /all");
            QTest::keyClick(detail.Memo1, Qt::Key_Return);
            QTest::keyClicks(detail.Memo1, "ping -c 1 192.168.10.1");
            detail.btnOK->click();
        });
        form.btnDetail->click();
        form.btnOK->click();
    });
    ASSERT_EQ(Insert("Office LAN"), QDialog::Accepted);

    On<TIPMapForm>([](TIPMapForm& form) {
        form.rbDHCP->setChecked(true);
        form.rbAutoDNS->setChecked(true);
        form.cbDefaultPrinter->setChecked(false);
        form.btnOK->click();
    });
    ASSERT_EQ(Insert("Cafe"), QDialog::Accepted);
    host.CloseTables();

    EXPECT_EQ(
        DryRun("Office LAN"),
        (Lines{"netsh interface ip set address name=\"wlan0\" source=static "
               "addr=192.168.10.20 mask=255.255.255.0",
               "netsh interface ip add address name=\"wlan0\" addr=10.1.0.5 mask=255.255.0.0",
               "netsh interface ip set address name=\"wlan0\" gateway=192.168.10.1 gwmetric=0",
               "netsh interface ip set dns name=\"wlan0\" source=static addr=8.8.8.8 "
               "register=PRIMARY",
               "netsh interface ip add dns name=\"wlan0\" addr=8.8.4.4 index=2",
               "script: ipconfig /all", "script: ping -c 1 192.168.10.1", "printer: Office"}));
    EXPECT_EQ(DryRun("Cafe"), (Lines{"netsh interface ip set address name=\"eth0\" source=DHCP",
                                     "netsh interface ip set dns name=\"eth0\" source=DHCP"}));
}

}  // namespace
}  // namespace quorv::dialogs
