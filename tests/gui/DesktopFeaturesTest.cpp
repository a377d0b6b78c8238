// The window's desktop additions on the offscreen platform: the marks of the profiles in
// force, the capture command, and the options kept beside the placement.
#include "gui/main/DesktopFeatures.h"

#include <gtest/gtest.h>

#include <QInputDialog>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "ModalAnswer.h"
#include "TempFolder.h"
#include "WindowTestApplication.h"
#include "core/DataFile.h"
#include "core/DataLocation.h"
#include "core/ProfileRecord.h"
#include "core/RecordLookup.h"
#include "gui/dialogs/IPMapForm.h"
#include "gui/frame/ErrorBox.h"
#include "gui/main/Autostart.h"
#include "gui/main/MainForm.h"

namespace quorv::app {
namespace {

using apply::Profile;
using inventory::LiveAdapter;
using inventory::LiveState;
using quorv::testing::ModalAnswers;
using quorv::testing::TempFolder;

const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new quorv::testing::WindowTestApplication<TApplication>);

// States come from the test, never from this machine.
class StillServices : public TMainFormServices {
  public:
    void ReadNetworkConnections(inventory::TInventoryLists& lists) override {
        lists.ConnectionIDs = {"eth0", "wlan0"};
        lists.AdapterNames = {"Wired", "Wireless"};
    }
    bool ApplyProfile(QWidget*, const QString& name, const Profile&, bool,
                      const apply::ProgressTexts&) override {
        applied.push_back(name);
        return true;
    }
    bool WatchLiveState() const override { return false; }
    QStringList applied;
};

LiveAdapter Adapter(const std::string& name, bool carrier, std::vector<LiveAdapter::Address> addrs,
                    const std::string& gateway = "", std::vector<std::string> dns = {}) {
    LiveAdapter a;
    a.name = name;
    a.carrier = carrier;
    a.addresses = std::move(addrs);
    a.gateway = gateway;
    a.dns = std::move(dns);
    a.dnsOwn = true;
    return a;
}

class DesktopFeaturesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(tmp_ / "config"));
        dialogs::TIPMapForm::SetPrinterReader([](inventory::TInventoryLists& lists) {
            lists.PrinterNames = {"Lab", "Office"};
            lists.PrinterCaptions = {"Lab inkjet", "Office laser"};
            lists.DefaultPrinterIndex = 1;
            lists.PrintersRead = true;
        });
    }
    void TearDown() override {
        form_.reset();
        dialogs::TIPMapForm::SetPrinterReader({});
        qunsetenv("XDG_CONFIG_HOME");
    }

    std::string Path() const { return tmp_ / kDataFileName; }
    void Seed(const std::vector<Profile>& profiles) {
        store::TStoreTable table, options;
        ASSERT_TRUE(OpenDataFile(Path(), table, options).Ok());
        for (const Profile& p : profiles) {
            table.Insert();
            WriteProfile(table, p);
            table.Post();
        }
    }
    TMainForm& Start() {
        const std::string ini = tmp_ / kSettingsFileName;
        if (!std::filesystem::exists(ini)) {
            std::ofstream(ini) << "";
        }
        form_ = std::make_unique<TMainForm>(Path(), &services_);
        form_->Inventory().ConnectionIDs = {"eth0", "wlan0"};
        form_->Inventory().AdapterNames = {"Wired", "Wireless"};
        return *form_;
    }
    void Live(const LiveState& state) {
        form_->Desktop->Monitor()->SetState(state);
        QApplication::processEvents();
    }
    QTreeWidgetItem* Row(const char* name) { return form_->ListView1->FindRow(name); }
    bool Marked(const char* name) {
        QTreeWidgetItem* row = Row(name);
        EXPECT_NE(row, nullptr) << name;
        return row && row->data(0, kInForceRole).toBool() && row->font(0).bold();
    }

    TempFolder tmp_;
    StillServices services_;
    std::unique_ptr<TMainForm> form_;
};

Profile Office() {
    Profile p;
    p.Name = "Office";
    p.Interface = "eth0";
    p.SetAddresses({"10.0.0.5"}, {"255.0.0.0"});
    p.Gateway = "10.0.0.1";
    p.DNS1 = "10.0.0.53";
    return p;
}

Profile Home() {
    Profile p;
    p.Name = "Home";
    p.Interface = "eth0";
    p.SetDhcp();
    return p;
}

TEST_F(DesktopFeaturesTest, TheMarkFollowsTheLiveState) {
    Seed({Office(), Home()});
    Start();
    EXPECT_FALSE(Marked("Office"));
    EXPECT_FALSE(Marked("Home"));

    LiveState office;
    office.adapters = {
        Adapter("eth0", true, {{"10.0.0.5", "255.0.0.0"}}, "10.0.0.1", {"10.0.0.53"})};
    Live(office);
    EXPECT_TRUE(Marked("Office"));
    EXPECT_FALSE(Marked("Home"));
    EXPECT_NE(Row("Office")->toolTip(2).indexOf("eth0"), -1)
        << Row("Office")->toolTip(2).toStdString();
    EXPECT_TRUE(Row("Home")->toolTip(0).isEmpty());

    LiveState home = office;
    home.adapters[0].dhcp = true;
    Live(home);
    EXPECT_FALSE(Marked("Office"));
    EXPECT_TRUE(Marked("Home"));

    // A row that comes in later is held against the same state, and so is a changed one.
    Profile lab = Home();
    lab.Name = "Lab";
    form_->ListView1->AddRow(lab);
    QApplication::processEvents();
    EXPECT_TRUE(Marked("Lab"));
    lab.SetAddresses({"10.0.0.5"}, {"255.0.0.0"});
    form_->ListView1->SetRow(Row("Lab"), lab);
    QApplication::processEvents();
    EXPECT_FALSE(Marked("Lab"));

    // A reload keeps the marks.
    form_->LoadProfileList();
    QApplication::processEvents();
    EXPECT_TRUE(Marked("Home"));
}

TEST_F(DesktopFeaturesTest, CaptureFillsTheDialogWithTheChosenAdaptersSettings) {
    Seed({Home()});
    Start();
    LiveState live;
    live.adapters = {
        Adapter("docker0", false, {{"172.17.0.1", "255.255.0.0"}}),
        Adapter("lo9", false, {}),  // nothing to take
        Adapter("eth0", true, {{"10.0.0.5", "255.0.0.0"}, {"192.168.1.9", "255.255.255.0"}},
                "10.0.0.1", {"10.0.0.53", "10.0.0.54"})};
    live.defaultPrinter = "Lab";
    Live(live);

    QStringList offered;
    QString preselected;
    ModalAnswers answers;
    answers
        .Then([&](QWidget* w) {
            auto* box = qobject_cast<QInputDialog*>(w);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->objectName(), "CaptureAdapterBox");
            offered = box->comboBoxItems();
            preselected = box->textValue();
            box->accept();
        })
        .Then([](QWidget* w) {
            auto* box = qobject_cast<QInputDialog*>(w);
            ASSERT_NE(box, nullptr);
            box->setTextValue("Home");  // taken: asked again
            box->accept();
        })
        .Press(QMessageBox::Ok)
        .Then([](QWidget* w) {
            auto* box = qobject_cast<QInputDialog*>(w);
            ASSERT_NE(box, nullptr);
            box->setTextValue("Taken now");
            box->accept();
        })
        .Then([](QWidget* w) {
            auto* dialog = qobject_cast<dialogs::TIPMapForm*>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "IP 설정 - [Taken now]");
            EXPECT_TRUE(dialog->rbCustomIP->isChecked());
            EXPECT_EQ(dialog->IPAddrEdit1->Text(), "10.0.0.5");
            EXPECT_EQ(dialog->IPAddrEdit2->Text(), "255.0.0.0");
            EXPECT_EQ(dialog->IPAddrEdit3->Text(), "10.0.0.1");
            EXPECT_EQ(dialog->IPAddrEdit4->Text(), "10.0.0.53");
            EXPECT_EQ(dialog->IPAddrEdit5->Text(), "10.0.0.54");
            EXPECT_EQ(dialog->ComboBox1->currentIndex(), 0);  // eth0
            EXPECT_EQ(dialog->ComboBox2->currentIndex(), 0);  // Lab
            EXPECT_TRUE(dialog->cbDefaultPrinter->isChecked());
            dialog->btnOK->click();
        });
    form_->Execute(form_->Desktop->acCapture);
    EXPECT_EQ(answers.Pending(), 0u);
    ASSERT_EQ(offered.size(), 2);
    EXPECT_TRUE(offered[0].startsWith("docker0 ("));
    EXPECT_EQ(preselected, offered[1]);  // the one with a carrier

    store::TStoreTable table, options;
    ASSERT_TRUE(OpenDataFile(Path(), table, options).Ok());
    ASSERT_TRUE(FindByName(table, "Taken now"));
    const Profile stored = ReadProfile(table);
    EXPECT_EQ(stored.IP, "10.0.0.5,192.168.1.9");
    EXPECT_EQ(stored.Mask, "255.0.0.0,255.255.255.0");
    EXPECT_EQ(stored.Interface, "eth0");
    EXPECT_EQ(stored.Printer, "Lab");
    QApplication::processEvents();
    EXPECT_TRUE(Marked("Taken now"));
}

TEST_F(DesktopFeaturesTest, WithoutATrayNothingOfItShowsAndAutostartIsAFile) {
    Start();
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    TDesktopFeatures& desktop = *form_->Desktop;
    EXPECT_EQ(desktop.Tray(), nullptr);
    EXPECT_FALSE(desktop.acTrayIcon->isVisible());
    EXPECT_FALSE(desktop.acCloseToTray->isVisible());
    EXPECT_FALSE(desktop.acStartHidden->isVisible());
    EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
    // The capture command stands beside "new" in the menu, the list's menu and the toolbar.
    auto follows = [&](QWidget* w, const QString& before) {
        const QList<QAction*> items = w->actions();
        for (qsizetype i = 0; i + 1 < items.size(); ++i) {
            if (items[i]->objectName() == before) {
                return items[i + 1] == desktop.acCapture;
            }
        }
        return false;
    };
    EXPECT_TRUE(follows(form_->findChild<QMenu*>("mnTool"), "N5"));
    EXPECT_TRUE(follows(form_->PopupMenu1, "N14"));
    EXPECT_TRUE(follows(form_->ToolBar1, "acInsert"));

    const QString entry = AutostartEntryPath();
    EXPECT_TRUE(entry.startsWith(QString::fromStdString(tmp_ / "config/autostart/")));
    EXPECT_FALSE(desktop.acAutostart->isChecked());
    desktop.acAutostart->trigger();
    ASSERT_TRUE(QFileInfo::exists(entry));
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_NE(text.indexOf("Exec=\"" + QCoreApplication::applicationFilePath() + "\"\n"), -1)
        << text.toStdString();
    desktop.acAutostart->trigger();
    EXPECT_FALSE(QFileInfo::exists(entry));

    // The options live with the placement and come back at the next start.
    desktop.acCloseToTray->setChecked(true);
    form_.reset();
    Start();
    EXPECT_TRUE(form_->Desktop->acCloseToTray->isChecked());
    EXPECT_FALSE(form_->Desktop->acStartHidden->isChecked());
}

TEST(Autostart, TheExecLineStartsThatProgramAndNothingElse) {
    EXPECT_NE(AutostartEntry("/opt/quorv/QuorvIPChanger")
                  .indexOf("\nExec=\"/opt/quorv/QuorvIPChanger\"\n"),
              -1);
    // Quotes, backquotes, "$" and "\" escaped for the Exec key, "\" once more for the file;
    // "%" would be a field code.
    const QString odd = AutostartEntry("/home/a b/$x`y\"z\\w%u/QuorvIPChanger");
    EXPECT_NE(odd.indexOf("\nExec=\"/home/a b/\\\\$x\\\\`y\\\\\"z\\\\\\\\w%%u/QuorvIPChanger\"\n"),
              -1)
        << odd.toStdString();
    // A line break would start a key of its own.
    const QString broken = AutostartEntry("/tmp/x\nExec=rm -rf ~/QuorvIPChanger");
    EXPECT_EQ(broken.count("\nExec="), 1) << broken.toStdString();
}

}  // namespace
}  // namespace quorv::app
