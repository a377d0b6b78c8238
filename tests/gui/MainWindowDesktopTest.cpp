// The main window as a desktop program: keys, access keys, the language rules, Qt's own
// texts, following the data file, the status line, web pages without a browser and one
// window per data file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFileInfo>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <set>

#include "ModalAnswer.h"
#include "TempFolder.h"
#include "WindowTestApplication.h"
#include "core/DataFile.h"
#include "core/DataLocation.h"
#include "core/OptionRecord.h"
#include "core/ProfileRecord.h"
#include "core/RecordLookup.h"
#include "gui/dialogs/AboutForm.h"
#include "gui/frame/ErrorBox.h"
#include "gui/frame/Language.h"
#include "gui/main/MainForm.h"
#include "gui/main/SingleInstance.h"
#include "gui/main/WebPages.h"
#include "system/IniFile.h"

namespace quorv::app {
namespace {

using apply::Profile;
using quorv::testing::ModalAnswers;
using quorv::testing::ReadFile;
using quorv::testing::ScopedEnv;
using quorv::testing::TempFolder;

const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new quorv::testing::WindowTestApplication<TApplication>);

class Services : public TMainFormServices {
  public:
    // The profiles' connection, so that an apply goes ahead.
    void ReadNetworkConnections(inventory::TInventoryLists& lists) override {
        lists.ConnectionIDs = {"eth0"};
        lists.AdapterNames = {"Wired"};
    }
    bool ApplyProfile(QWidget*, const QString& name, const Profile&, bool,
                      const apply::ProgressTexts&) override {
        applied.push_back(name.toStdString());
        return applyWorks;
    }
    void ShowReport(QWidget*) override {}
    std::vector<std::string> applied;
    bool applyWorks = true;
};

class DesktopWindowTest : public ::testing::Test {
  protected:
    std::string Path() const { return tmp_ / kDataFileName; }
    std::string Ini() const { return tmp_ / kSettingsFileName; }

    void Seed(const std::vector<std::string>& names) {
        store::TStoreTable table, options;
        ASSERT_TRUE(OpenDataFile(Path(), table, options).Ok());
        for (const std::string& name : names) {
            ASSERT_TRUE(AddProfile(table, Named(name)));
        }
    }
    static Profile Named(const std::string& name) {
        Profile p;
        p.Name = name;
        p.IP = "DHCP";
        p.Interface = "eth0";
        return p;
    }
    // Shown and past its first activation; the placement stays in the INI file here.
    TMainForm& Start(const QString& languages = QStringLiteral(QUORV_BIN_DIR "/Language")) {
        if (!std::filesystem::exists(Ini())) {
            std::ofstream(Ini()) << "";
        }
        form_ = std::make_unique<TMainForm>(Path(), &services_, languages);
        form_->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return form_->Activated(); }, 3000));
        return *form_;
    }
    void Stop() {
        form_->close();
        form_.reset();
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int i = 0; i < form_->ListView1->topLevelItemCount(); ++i) {
            rows.push_back(form_->ListView1->topLevelItem(i)->text(0).toStdString());
        }
        return rows;
    }
    void Select(const char* name) {
        QTreeWidgetItem* row = form_->ListView1->FindRow(QString::fromUtf8(name));
        ASSERT_NE(row, nullptr) << name;
        form_->ListView1->setCurrentItem(row);
    }
    // A key pressed on the list. Keys go to the active window, and offscreen a box that
    // closed leaves none active, where a window manager would activate the window again.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        form_->ListView1->setFocus();
        QTest::keyClick(form_->ListView1, key, modifiers);
    }
    // Another program's cursor on the data file, as qic's.
    std::unique_ptr<store::TStoreTable> Other() {
        auto table = std::make_unique<store::TStoreTable>();
        table->SetDatabaseName(Path());
        table->SetTableName("tblIPList");
        table->SetPassword(kDataFilePassword);
        table->Open();
        return table;
    }
    QString Message(const char* key) const { return form_->MessageTexts().Text(key); }

    // With QUORV_SCREENSHOT_DIR set: the tool menu, the About box and a message box, to
    // look at in each language.
    void Shots(const QString& language) {
        const char* dir = std::getenv("QUORV_SCREENSHOT_DIR");
        if (dir == nullptr) {
            return;
        }
        const QString folder = QString::fromLocal8Bit(dir) + "/";
        auto* tool = form_->findChild<QMenu*>("mnTool");
        tool->popup(form_->mapToGlobal(QPoint(40, 20)));
        QTest::qWait(100);
        tool->grab().save(folder + "tool-menu-" + language + ".png");
        tool->hide();
        widgets::TAboutForm about(form_.get());
        about.show();
        QTest::qWait(100);
        about.grab().save(folder + "about-" + language + ".png");
        QMessageBox box(QMessageBox::Question, "Confirm", Message("msgDeleteSure"),
                        QMessageBox::Yes | QMessageBox::No, form_.get());
        box.show();
        QTest::qWait(100);
        box.grab().save(folder + "confirm-" + language + ".png");
    }

    TempFolder tmp_;
    Services services_;
    std::unique_ptr<TMainForm> form_;
};

TEST_F(DesktopWindowTest, KeysOnTheListRunItsCommands) {
    Seed({"p", "q"});
    TMainForm& form = Start();
    Select("p");
    Key(Qt::Key_Return);
    Key(Qt::Key_Enter);
    EXPECT_EQ(services_.applied, (std::vector<std::string>{"p", "p"}));

    ModalAnswers answers;
    answers.Then([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); })
        .Press(QMessageBox::No)
        .Press(QMessageBox::Yes);
    Key(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(answers.Seen().size(), 1u);
    EXPECT_EQ(answers.Seen()[0], "InputBox");
    Select("q");
    Key(Qt::Key_Delete);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"p", "q"}));
    Key(Qt::Key_Delete);
    EXPECT_EQ(Rows(), std::vector<std::string>{"p"});
    EXPECT_EQ(answers.Seen().size(), 3u);
    EXPECT_EQ(answers.Seen()[1], "ConfirmBox: " + Message("msgDeleteSure").toStdString());

    // F5 reads the list at once, before the file watch would.
    ASSERT_TRUE(AddProfile(*Other(), Named("r")));
    Select("p");
    Key(Qt::Key_F5);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"p", "r"}));
    EXPECT_EQ(form.ListView1->Selected()->text(0), "p");

    // Without a selection the keys of the row commands do nothing.
    form.ListView1->clearSelection();
    Key(Qt::Key_Return);
    Key(Qt::Key_Delete);
    EXPECT_EQ(services_.applied.size(), 2u);
    EXPECT_EQ(answers.Seen().size(), 3u);
}

// Every menu item shows its key, and no two items of a menu share an access key, in the
// built-in Korean texts and in English.
TEST_F(DesktopWindowTest, MenusShowShortcutsAndDistinctAccessKeys) {
    ScopedEnv locale("LC_ALL", "ko_KR.UTF-8");
    TMainForm& form = Start();
    auto shortcut = [&](const char* item) {
        return form.findChild<QAction*>(item)->shortcut().toString(QKeySequence::PortableText);
    };
    EXPECT_EQ(shortcut("N5"), "Ctrl+N");
    EXPECT_EQ(shortcut("N14"), "Ctrl+N");
    EXPECT_EQ(shortcut("N7"), "Del");
    EXPECT_EQ(shortcut("N16"), "Del");
    EXPECT_EQ(shortcut("N32"), "F5");
    EXPECT_EQ(form.findChild<QMenu*>("mnFile")->title(), "파일(&F)");
    EXPECT_EQ(form.acOpen->toolTip(), "파일에서 데이터 읽어오기...");

    auto checkMenus = [&](const char* language) {
        QList<QMenu*> menus = form.findChildren<QMenu*>();
        menus.push_back(nullptr);  // the menu bar
        for (QMenu* menu : menus) {
            const QList<QAction*> items = menu ? menu->actions() : form.MainMenu1->actions();
            std::set<QChar> keys;
            for (QAction* item : items) {
                if (item->isSeparator()) {
                    continue;
                }
                const QString text = item->text().replace(QLatin1String("&&"), QString());
                const qsizetype amp = text.indexOf('&');
                ASSERT_GE(amp, 0) << language << " " << item->objectName().toStdString() << " "
                                  << item->text().toStdString();
                EXPECT_TRUE(keys.insert(text.at(amp + 1).toLower()).second)
                    << language << " " << item->objectName().toStdString();
            }
        }
    };
    checkMenus("Korea");
    Shots("korea");
    form.acEnglish->trigger();
    checkMenus("English");
    Shots("english");
}

// Korea.dat gives the main window the texts it is built with, access keys included, so a
// switch from English back to Korean restores them all.
TEST_F(DesktopWindowTest, KoreanFileRepeatsTheBuiltInTexts) {
    ScopedEnv locale("LC_ALL", "ko_KR.UTF-8");
    TMainForm& form = Start();
    const platform::TIniFile korea =
        platform::TIniFile::Load(QStringLiteral(QUORV_SOURCE_DIR "/lang/Korea.dat"));
    int compared = 0;
    for (const QString& key : korea.Keys("MainForm")) {
        const settings::TCaptionHint text =
            settings::SplitCaptionHint(korea.Value("MainForm", key));
        QObject* component = form.findChild<QObject*>(key);
        if (auto* action = qobject_cast<QAction*>(component)) {
            EXPECT_EQ(action->text(), text.Caption) << key.toStdString();
            ++compared;
        } else if (auto* menu = qobject_cast<QMenu*>(component)) {
            EXPECT_EQ(menu->title(), text.Caption) << key.toStdString();
            ++compared;
        }
    }
    EXPECT_EQ(compared, 32);
}

// Until the user picks a language the locale decides at every start, and nothing is
// stored; the menu names each language in its own words and checks the one in use.
TEST_F(DesktopWindowTest, LanguageFollowsTheLocaleUntilChosen) {
    auto storedLanguage = [&] {
        const std::string ini = ReadFile(Ini());
        const size_t at = ini.find("Language=");
        return at == std::string::npos ? std::string("?")
                                       : ini.substr(at + 9, ini.find_first_of("\r\n", at) - at - 9);
    };
    {
        ScopedEnv locale("LC_ALL", "en_US.UTF-8");
        TMainForm& form = Start();
        EXPECT_EQ(form.Language(), "English");
        EXPECT_TRUE(form.acEnglish->isChecked());
        EXPECT_FALSE(form.acKorea->isChecked());
        EXPECT_TRUE(form.findChild<QAction*>("English1")->isChecked());
        EXPECT_EQ(form.acKorea->text(), "한국어(&K)");
        Stop();
    }
    EXPECT_EQ(storedLanguage(), "");
    {
        ScopedEnv locale("LC_ALL", "ko_KR.UTF-8");
        TMainForm& form = Start();
        EXPECT_EQ(form.Language(), "Korea");
        EXPECT_TRUE(form.acKorea->isChecked());
        EXPECT_TRUE(form.findChild<QAction*>("N31")->isChecked());
        form.findChild<QAction*>("English1")->trigger();
        EXPECT_TRUE(form.acEnglish->isChecked());
        EXPECT_FALSE(form.acKorea->isChecked());
        Stop();
    }
    EXPECT_EQ(storedLanguage(), "English");
    ScopedEnv locale("LC_ALL", "ko_KR.UTF-8");
    EXPECT_EQ(Start().Language(), "English");
}

TEST_F(DesktopWindowTest, QtsOwnTextsFollowTheLanguage) {
    const QString catalogue =
        QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ko.qm");
    if (!QFileInfo::exists(catalogue)) {
        GTEST_SKIP() << "Qt's Korean catalogue is not installed (qt6-translations-l10n)";
    }
    auto yes = [] {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes);
        return box.button(QMessageBox::Yes)->text();
    };
    ScopedEnv locale("LC_ALL", "ko_KR.UTF-8");
    TMainForm& form = Start();
    EXPECT_NE(yes(), "&Yes");
    EXPECT_TRUE(yes().contains(QStringLiteral("예"))) << yes().toStdString();
    form.acEnglish->trigger();
    EXPECT_EQ(yes(), "&Yes");
    form.acKorea->trigger();
    EXPECT_NE(yes(), "&Yes");
    form.acEnglish->trigger();
}

TEST_F(DesktopWindowTest, TheListFollowsChangesOtherProgramsMake) {
    Seed({"a", "b"});
    TMainForm& form = Start();
    Select("b");
    ASSERT_TRUE(AddProfile(*Other(), Named("c")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Rows().size() == 3; }, 5000));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a", "b", "c"}));
    ASSERT_NE(form.ListView1->Selected(), nullptr);
    EXPECT_EQ(form.ListView1->Selected()->text(0), "b");

    // A command on a profile deleted before the list caught up says so in plain words.
    const QString gone = Message("msgProfileGone").arg("b");
    for (QAction* command : {form.acUpdate, form.acResult, form.acIcon12, form.acDelete}) {
        if (form.ListView1->FindRow("b") == nullptr) {
            ASSERT_TRUE(AddProfile(*Other(), Named("b")));
            form.LoadProfileList();
        }
        Select("b");
        {
            auto other = Other();
            ASSERT_TRUE(FindByName(*other, "b"));
            other->Delete();
        }
        ModalAnswers answers;
        if (command == form.acDelete) {
            answers.Press(QMessageBox::Yes);
        }
        answers.Press(QMessageBox::Ok);
        command->trigger();
        ASSERT_FALSE(answers.Seen().empty()) << command->objectName().toStdString();
        EXPECT_EQ(answers.Seen().back(), "WarningBox: " + gone.toStdString())
            << command->objectName().toStdString();
        EXPECT_EQ(Rows(), (std::vector<std::string>{"a", "c"}));
        EXPECT_TRUE(services_.applied.empty());
    }
}

TEST_F(DesktopWindowTest, TheStatusLineTellsOfAFinishedApply) {
    Seed({"office"});
    TMainForm& form = Start();
    Select("office");
    services_.applyWorks = false;
    form.acResult->trigger();
    EXPECT_TRUE(form.StatusBar1->currentMessage().isEmpty());
    services_.applyWorks = true;
    form.acResult->trigger();
    const QString said = form.StatusBar1->currentMessage();
    EXPECT_TRUE(said.contains("office") && said.contains("eth0")) << said.toStdString();
    if (const char* dir = std::getenv("QUORV_SCREENSHOT_DIR")) {
        form.grab().save(QString::fromLocal8Bit(dir) + "/status-line.png");
    }
    EXPECT_EQ(
        said.left(said.indexOf("eth0")),
        Message("msgApplied").left(Message("msgApplied").indexOf("%2")).replace("%1", "office"));
}

TEST_F(DesktopWindowTest, ColumnWidthsAndTheProgramIconSurviveARestart) {
    TMainForm& form = Start();
    EXPECT_FALSE(form.windowIcon().isNull());
    form.ListView1->header()->resizeSection(0, 230);
    form.ListView1->header()->resizeSection(3, 90);
    Stop();
    TMainForm& again = Start();
    EXPECT_EQ(again.ListView1->columnWidth(0), 230);
    EXPECT_EQ(again.ListView1->columnWidth(3), 90);
    EXPECT_EQ(again.ListView1->columnWidth(1), 100);
}

TEST_F(DesktopWindowTest, WithoutABrowserTheAddressIsShown) {
    TempFolder bin;
    const std::string opener = bin / "xdg-open";
    std::ofstream(opener) << "#!/bin/sh\necho 'xdg-open: no method available' >&2\nexit 3\n";
    ::chmod(opener.c_str(), 0755);
    ScopedEnv path("PATH", bin.path().c_str());
    Start();
    ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    const QUrl url = WebPageUrl(kQnAPage);
    OpenWebAddress(form_.get(), url);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answers.Pending() == 0; }, 5000));
    ASSERT_EQ(answers.Seen().size(), 1u);
    EXPECT_EQ(answers.Seen()[0],
              "WebAddressBox: " + Message("msgOpenAddress").arg(url.toString()).toStdString());
}

TEST_F(DesktopWindowTest, ASecondStartOnTheSameFileBringsTheFirstForward) {
    TempFolder runtime;
    ::chmod(runtime.path().c_str(), 0700);
    ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().c_str());
    QWidget window;
    {
        TSingleInstance first(Path());
        first.Serve(&window);
        QSignalSpy asked(&first, &TSingleInstance::Asked);
        EXPECT_FALSE(first.HandOver());
        EXPECT_TRUE(first.Name().startsWith(QString::fromStdString(runtime.path())));

        TSingleInstance second(Path());
        EXPECT_TRUE(second.HandOver());
        EXPECT_TRUE(asked.wait(3000));
        EXPECT_TRUE(window.isVisible());
        // Another data file is another window.
        TSingleInstance elsewhere(tmp_ / "other.dat");
        EXPECT_FALSE(elsewhere.HandOver());
    }
    // The first is gone (a killed one leaves its socket file): the next start runs.
    TSingleInstance later(Path());
    EXPECT_FALSE(later.HandOver());
}

}  // namespace
}  // namespace quorv::app
