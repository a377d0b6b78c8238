// The tray icon under a real X server with a real XEmbed tray (Xvfb and trayer, started by
// this program on a display of its own): the icon shows, its menu lists the profiles with the
// one in force checked, and a profile chosen there is applied. A picture of the open menu is
// saved to $QUORV_SHOT_DIR (or the test's folder) for a look.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QInputDialog>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <filesystem>
#include <fstream>

#include "ModalAnswer.h"
#include "TempFolder.h"
#include "core/DataFile.h"
#include "core/DataLocation.h"
#include "core/ProfileRecord.h"
#include "gui/frame/ErrorBox.h"
#include "gui/main/DesktopFeatures.h"
#include "gui/main/MainForm.h"

namespace quorv::app {
namespace {

using apply::Profile;
using quorv::testing::TempFolder;

pid_t Spawn(const std::vector<std::string>& argv) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        for (int fd = 3; fd < 256; ++fd) {
            close(fd);
        }
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

void Stop(pid_t pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

// An X server and a tray for the whole program; the display is the one Xvfb picks free.
class TrayServer {
  public:
    bool Start() {
        if (!std::filesystem::exists("/usr/bin/Xvfb") ||
            !std::filesystem::exists("/usr/bin/trayer")) {
            return false;
        }
        // A display of our own, away from the low numbers people and other tests use.
        for (int tries = 0, n = 300 + getpid() % 300; tries < 10; ++tries, ++n) {
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            if (std::filesystem::exists(socket) ||
                std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock")) {
                continue;
            }
            xvfb_ = Spawn({"/usr/bin/Xvfb", ":" + std::to_string(n), "-screen", "0", "800x600x24",
                           "-nolisten", "tcp"});
            bool up = false;
            for (int wait = 0; wait < 100 && !up; ++wait) {
                usleep(50000);
                up = std::filesystem::exists(socket) && waitpid(xvfb_, nullptr, WNOHANG) == 0;
            }
            if (up) {
                display_ = ":" + std::to_string(n);
                break;
            }
            Stop(xvfb_);
            xvfb_ = -1;
        }
        if (display_.empty()) {
            return false;
        }
        setenv("DISPLAY", display_.c_str(), 1);
        trayer_ = Spawn({"/usr/bin/trayer", "--edge", "top", "--align", "right", "--width", "20",
                         "--height", "28", "--transparent", "false", "--tint", "0xd0d0d0"});
        return true;
    }
    ~TrayServer() {
        Stop(trayer_);
        Stop(xvfb_);
    }

  private:
    pid_t xvfb_ = -1;
    pid_t trayer_ = -1;
    std::string display_;
};

TApplication* application = nullptr;

class RecordingServices : public TMainFormServices {
  public:
    void ReadNetworkConnections(inventory::TInventoryLists& lists) override {
        lists.ConnectionIDs = {"eth0"};
        lists.AdapterNames = {"Wired"};
    }
    bool ApplyProfile(QWidget*, const QString& name, const Profile&, bool,
                      const apply::ProgressTexts&) override {
        applied << name;
        return true;
    }
    bool WatchLiveState() const override { return false; }
    QStringList applied;
};

class TrayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (application == nullptr) {
            GTEST_SKIP() << "needs Xvfb and trayer";
        }
        std::ofstream(tmp_ / kSettingsFileName) << "";
        store::TStoreTable table, options;
        ASSERT_TRUE(OpenDataFile(tmp_ / kDataFileName, table, options).Ok());
        for (const char* name : {"Office", "Home & Garden", "Lab"}) {
            Profile p;
            p.Name = name;
            p.Interface = "eth0";
            p.SetAddresses({std::string(name) == "Office" ? "10.0.0.5" : "10.0.0.6"},
                           {"255.0.0.0"});
            p.Icon = std::string(name) == "Lab" ? apply::kIconWireless : apply::kIconWired;
            table.Insert();
            WriteProfile(table, p);
            table.Post();
        }
    }
    TempFolder tmp_;
    RecordingServices services_;
};

TEST_F(TrayTest, TheIconShowsItsMenuMarksTheProfileInForceAndAppliesTheChosenOne) {
    ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000))
        << "trayer did not take the tray";
    TMainForm form(tmp_ / kDataFileName, &services_, QStringLiteral(QUORV_LANGUAGE_DIR));
    form.show();
    // Texts in the user's language come with the first activation.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Activated(); }, 5000));
    TDesktopFeatures& desktop = *form.Desktop;
    inventory::LiveState live;
    inventory::LiveAdapter eth0;
    eth0.name = "eth0";
    eth0.carrier = true;
    eth0.addresses = {{"10.0.0.5", "255.0.0.0"}};
    eth0.dnsOwn = true;
    live.adapters = {eth0};
    desktop.Monitor()->SetState(live);

    QSystemTrayIcon* tray = desktop.Tray();
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(tray->isVisible());
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tray->geometry().isEmpty(); }, 5000));
    EXPECT_NE(tray->toolTip().indexOf("eth0: 10.0.0.5"), -1) << tray->toolTip().toStdString();

    QMenu* menu = desktop.TrayMenu();
    QApplication::processEvents();
    menu->popup(tray->geometry().bottomLeft() + QPoint(0, 4));
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000));
    QTest::qWait(300);
    const QString shots =
        qEnvironmentVariable("QUORV_SHOT_DIR", QString::fromStdString(tmp_.path()));
    const QString language = form.Language();
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_TRUE(screen->grabWindow(0).save(shots + "/tray-menu-" + language + ".png"));

    QStringList captions;
    QList<QAction*> profiles;
    for (QAction* item : menu->actions()) {
        captions << (item->isSeparator() ? QStringLiteral("-") : item->text());
        if (item->objectName().startsWith("TrayProfile")) {
            profiles << item;
        }
    }
    ASSERT_EQ(profiles.size(), 3);
    EXPECT_EQ(captions.mid(0, 4), (QStringList{"Home && Garden", "Lab", "Office", "-"}));
    EXPECT_EQ(menu->actions().at(4), desktop.acShowWindow);
    EXPECT_EQ(menu->actions().at(5), form.acExit);
    EXPECT_FALSE(profiles[0]->isChecked());
    EXPECT_TRUE(profiles[2]->isChecked());
    EXPECT_FALSE(profiles[1]->icon().isNull());

    inventory::LiveState moved = live;
    moved.adapters[0].addresses = {{"10.0.0.6", "255.0.0.0"}};
    desktop.Monitor()->SetState(moved);
    QApplication::processEvents();
    EXPECT_FALSE(profiles[2]->isChecked());
    EXPECT_TRUE(profiles[0]->isChecked());
    EXPECT_TRUE(profiles[1]->isChecked());

    // Two clicks from the panel: the icon's menu, then the profile.
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(profiles[1]).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !services_.applied.isEmpty(); }, 3000));
    EXPECT_EQ(services_.applied, QStringList{"Lab"});

    // Closed by the window manager with "close to tray" on, the window hides and the program
    // stays; "Show window" brings it back.
    desktop.acCloseToTray->setChecked(true);
    // QWindow::close goes through the platform, as the window manager's close does.
    form.windowHandle()->close();
    QApplication::processEvents();
    EXPECT_FALSE(form.isVisible());
    desktop.acShowWindow->trigger();
    EXPECT_TRUE(form.isVisible());

    // Turned off, the icon goes.
    desktop.acTrayIcon->setChecked(false);
    EXPECT_EQ(desktop.Tray(), nullptr);
    EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
}

// Run by CaptureSystemTest inside a network namespace, with netsh on the PATH: the profile
// chosen in the tray's menu is applied for real, and its mark follows the kernel's notice.
TEST_F(TrayTest, AProfileChosenInTheMenuIsAppliedAndMarked) {
    const QString address = qEnvironmentVariable("QUORV_TRAY_APPLY_ADDRESS");
    if (address.isEmpty()) {
        GTEST_SKIP() << "run inside a network namespace by the system tests";
    }
    ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000));
    {
        store::TStoreTable table, options;
        ASSERT_TRUE(OpenDataFile(tmp_ / kDataFileName, table, options).Ok());
        Profile p;
        p.Name = "Namespace";
        p.Interface = "lan0";
        p.SetAddresses({address.toStdString()}, {"255.255.255.0"});
        table.Insert();
        WriteProfile(table, p);
        table.Post();
    }
    TMainFormServices real;
    TMainForm form(tmp_ / kDataFileName, &real, QStringLiteral(QUORV_LANGUAGE_DIR));
    form.Desktop->ShowAtStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Activated(); }, 5000));
    QTreeWidgetItem* row = form.ListView1->FindRow("Namespace");
    ASSERT_NE(row, nullptr);
    EXPECT_FALSE(row->data(0, kInForceRole).toBool());

    QMenu* menu = form.Desktop->TrayMenu();
    ASSERT_NE(menu, nullptr);
    menu->popup(form.Desktop->Tray()->geometry().bottomLeft());
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000));
    QAction* item = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->data().toString() == "Namespace") {
            item = action;
        }
    }
    ASSERT_NE(item, nullptr);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return row->data(0, kInForceRole).toBool(); }, 20000));
    EXPECT_TRUE(row->font(0).bold());
}

TEST_F(TrayTest, StartedHiddenOnlyTheIconShowsAndTheStartWorkIsDone) {
    ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000));
    {
        TMainForm form(tmp_ / kDataFileName, &services_, QStringLiteral(QUORV_LANGUAGE_DIR));
        form.Desktop->acStartHidden->setChecked(true);
    }
    TMainForm form(tmp_ / kDataFileName, &services_, QStringLiteral(QUORV_LANGUAGE_DIR));
    ASSERT_TRUE(form.Desktop->acStartHidden->isChecked());
    form.Desktop->ShowAtStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Activated(); }, 5000));
    EXPECT_FALSE(form.isVisible());
    ASSERT_NE(form.Desktop->Tray(), nullptr);
    EXPECT_TRUE(form.Desktop->Tray()->isVisible());
    EXPECT_EQ(form.Inventory().ConnectionIDs, QStringList{"eth0"});
    form.Desktop->acShowWindow->trigger();
    EXPECT_TRUE(form.isVisible());
}

// Not a check of behaviour (the offscreen tests do that): pictures of the Tools menu, the
// adapter box and the filled IP dialog of the capture command, for a look.
TEST_F(TrayTest, PicturesOfTheCaptureCommand) {
    TMainForm form(tmp_ / kDataFileName, &services_, QStringLiteral(QUORV_LANGUAGE_DIR));
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Activated(); }, 5000));
    inventory::LiveState live;
    inventory::LiveAdapter eth0;
    eth0.name = "eth0";
    eth0.carrier = true;
    eth0.addresses = {{"192.168.10.20", "255.255.255.0"}, {"10.1.0.5", "255.255.0.0"}};
    eth0.gateway = "192.168.10.1";
    eth0.dns = {"168.126.63.1", "8.8.8.8"};
    eth0.dnsOwn = true;
    inventory::LiveAdapter wlan0;
    wlan0.name = "wlan0";
    wlan0.dhcp = true;
    wlan0.addresses = {{"172.20.3.140", "255.255.255.0"}};
    live.adapters = {wlan0, eth0};
    form.Desktop->Monitor()->SetState(live);
    form.Inventory().ConnectionIDs = {"eth0", "wlan0"};
    form.Inventory().AdapterNames = {"Intel Ethernet", "Intel Wi-Fi"};
    form.Inventory().PrintersRead = true;

    const QString shots =
        qEnvironmentVariable("QUORV_SHOT_DIR", QString::fromStdString(tmp_.path()));
    const QString language = form.Language();
    auto grab = [&](const QString& name) {
        QTest::qWait(300);
        EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(shots + "/" + name + "-" +
                                                                         language + ".png"));
    };
    QMenu* tool = form.findChild<QMenu*>("mnTool");
    tool->popup(form.mapToGlobal(QPoint(40, 20)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tool->isVisible(); }, 5000));
    grab("tools-menu");
    tool->hide();

    quorv::testing::ModalAnswers answers;
    answers
        .Then([&](QWidget* w) {
            grab("capture-adapter");
            qobject_cast<QDialog*>(w)->accept();
        })
        .Then([&](QWidget* w) {
            qobject_cast<QInputDialog*>(w)->setTextValue("Captured");
            qobject_cast<QDialog*>(w)->accept();
        })
        .Then([&](QWidget* w) {
            grab("capture-dialog");
            qobject_cast<QDialog*>(w)->reject();
        });
    form.Execute(form.Desktop->acCapture);
    EXPECT_EQ(answers.Pending(), 0u);
}

}  // namespace
}  // namespace quorv::app

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    quorv::app::TrayServer tray;
    int qtArgc = 1;
    char name[] = "quorv_tray_test";
    char* qtArgv[] = {name, nullptr};
    std::unique_ptr<quorv::app::TApplication> app;
    if (tray.Start()) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        app = std::make_unique<quorv::app::TApplication>(qtArgc, qtArgv);
        quorv::app::application = app.get();
    }
    const int result = RUN_ALL_TESTS();
    app.reset();
    return result;
}
