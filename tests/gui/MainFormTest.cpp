#include "gui/main/MainForm.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "ModalAnswer.h"
#include "TempFolder.h"
#include "WindowTestApplication.h"
#include "core/DataFile.h"
#include "core/DataLocation.h"
#include "core/OptionRecord.h"
#include "core/Options.h"
#include "core/ProfileRecord.h"
#include "core/RecordLookup.h"
#include "gui/dialogs/ConnectionChoices.h"
#include "gui/dialogs/ExchangeDialogs.h"
#include "gui/dialogs/IPMapForm.h"
#include "gui/dialogs/OptionForm.h"
#include "gui/frame/ErrorBox.h"
#include "gui/main/WebPages.h"

namespace quorv::app {
namespace {

using apply::Profile;
using quorv::testing::ModalAnswers;
using quorv::testing::ReadFile;
using quorv::testing::TempFolder;
using store::TStoreTable;

const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new quorv::testing::WindowTestApplication<TApplication>);

// The system as the window sees it, recorded instead of done.
class FakeServices : public TMainFormServices {
  public:
    void ReadNetworkConnections(inventory::TInventoryLists& lists) override {
        ++connectionReads;
        lists.ConnectionIDs = {"eth0"};
        lists.AdapterNames = {"Test adapter"};
    }
    bool ApplyProfile(QWidget*, const QString& name, const Profile& profile, bool showScripts,
                      const apply::ProgressTexts&) override {
        applied.push_back(name.toStdString());
        appliedProfile = profile;
        showScriptWindow = showScripts;
        events.push_back("apply");
        return true;
    }
    void ShowReport(QWidget*) override { events.push_back("report"); }

    int connectionReads = 0;
    std::vector<std::string> applied;
    Profile appliedProfile;
    bool showScriptWindow = false;
    std::vector<std::string> events;
};

Profile MakeProfile(const std::string& name, const std::string& ip = "DHCP",
                    const std::string& mask = "") {
    Profile p;
    p.Name = name;
    p.IP = ip;
    p.Mask = mask;
    p.Interface = "eth0";
    return p;
}

class MainFormTest : public ::testing::Test {
  protected:
    std::string Path() const { return tmp_ / kDataFileName; }

    // A data file holding these profiles (and the default options).
    void Seed(const std::vector<Profile>& profiles,
              const std::vector<std::pair<std::string, std::string>>& options = {}) {
        TStoreTable table, optionTable;
        ASSERT_TRUE(OpenDataFile(Path(), table, optionTable).Ok());
        for (const Profile& p : profiles) {
            table.Insert();
            WriteProfile(table, p);
            table.Post();
        }
        for (const auto& [key, value] : options) {
            WriteOption(optionTable, key, value);
        }
    }

    // An INI file beside the data file keeps the placement out of the user's settings.
    TMainForm& Start(const QString& languageFolder = {}) {
        const std::string ini = tmp_ / kSettingsFileName;
        if (!std::filesystem::exists(ini)) {
            std::ofstream(ini) << "";
        }
        form_ = std::make_unique<TMainForm>(Path(), &services_, languageFolder);
        return *form_;
    }
    void Restart() {
        form_.reset();
        Start();
    }

    // A fresh cursor on the data file's profiles, as another program sees them.
    std::unique_ptr<TStoreTable> OpenProfiles() {
        auto table = std::make_unique<TStoreTable>();
        table->SetDatabaseName(Path());
        table->SetTableName("tblIPList");
        table->SetPassword(kDataFilePassword);
        table->Open();
        return table;
    }
    std::vector<std::string> StoredNames() {
        auto table = OpenProfiles();
        std::vector<std::string> names;
        for (table->First(); !table->Eof(); table->Next()) {
            names.push_back(table->FieldByName("Name").AsString());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::optional<Profile> Stored(const std::string& name) {
        auto table = OpenProfiles();
        if (!FindByName(*table, name)) {
            return std::nullopt;
        }
        return ReadProfile(*table);
    }
    // Takes the data file's write lock as another program would; -1 when it could not.
    int HoldWriteLock() {
        const int fd = ::open(Path().c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 1;
        lock.l_len = 1;
        if (fd >= 0 && ::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int i = 0; i < form_->ListView1->topLevelItemCount(); ++i) {
            rows.push_back(form_->ListView1->topLevelItem(i)->text(0).toStdString());
        }
        return rows;
    }
    QTreeWidgetItem* Select(const std::string& name) {
        QTreeWidgetItem* row = form_->ListView1->FindRow(QString::fromStdString(name));
        EXPECT_NE(row, nullptr) << name;
        if (row != nullptr) {
            form_->ListView1->setCurrentItem(row);
        }
        return row;
    }

    // Types a name into the row's in-place editor and confirms it with Enter.
    void Rename(const std::string& from, const QString& to, bool throughInputMethod = false) {
        QTreeWidgetItem* row = Select(from);
        ASSERT_NE(row, nullptr);
        form_->ListView1->editItem(row, 0);
        QLineEdit* editor = nullptr;
        for (QLineEdit* e : form_->ListView1->findChildren<QLineEdit*>()) {
            if (!e->isHidden()) {
                editor = e;
            }
        }
        ASSERT_NE(editor, nullptr);
        editor->clear();
        if (throughInputMethod) {
            QInputMethodEvent compose;
            compose.setCommitString(to);
            QApplication::sendEvent(editor, &compose);
        } else {
            editor->setText(to);
        }
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits through a queued call, then the editor goes.
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TempFolder tmp_;
    FakeServices services_;
    std::unique_ptr<TMainForm> form_;
};

// --- start-up --------------------------------------------------------------------------

TEST_F(MainFormTest, FirstStartCreatesTheFileAndBuildsTheWindow) {
    TMainForm& form = Start();
    EXPECT_TRUE(std::filesystem::exists(Path()));
    EXPECT_TRUE(StoredNames().empty());
    EXPECT_EQ(form.ListView1->topLevelItemCount(), 0);
    EXPECT_EQ(settings::FormHost(), &form);
    EXPECT_EQ(form.windowTitle(), "Quorv IP Changer");
    EXPECT_EQ(form.size(), QSize(728, 424));
    EXPECT_EQ(form.ImageList1->Count(), kImageCount);
    for (int i = 0; i < kImageCount; ++i) {
        EXPECT_FALSE(form.ImageList1->Icon(i).pixmap(16, 16).isNull()) << i;
    }

    // Names the language files address, in the order of the menus.
    auto names = [](const QList<QAction*>& actions) {
        std::vector<std::string> out;
        for (QAction* a : actions) {
            out.push_back(a->objectName().toStdString());
        }
        return out;
    };
    using Names = std::vector<std::string>;
    auto* tool = form.findChild<QMenu*>("mnTool");
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(names(tool->actions()),
              (Names{"IP1", "N13", "N5", "acCapture", "N6", "N7", "N24", "mnChangeIconItem", "N11",
                     "IP3", "N32", "mnLanguageItem", "N12", "mnDesktopItem"}));
    EXPECT_EQ(names(form.PopupMenu1->actions()),
              (Names{"IP2", "N17", "N14", "acCapture", "N15", "N16", "N25", "N21Item"}));
    EXPECT_EQ(names(form.findChild<QMenu*>("mnHelp")->actions()),
              (Names{"N8", "QuorvUtility1", "N9", "Donate1", "N10"}));
    EXPECT_EQ(form.ToolBar1->actions().size(), 17);
    EXPECT_EQ(form.ToolBar1->height(), 29);

    EXPECT_EQ(form.acQnA->text(), "Q&&A 게시판(&Q)");
    EXPECT_EQ(form.acQnA->property("imageIndex").toInt(), imgQnA);
    EXPECT_EQ(form.acOption->property("category").toString(), "도구");
    EXPECT_EQ(form.findChild<QAction*>("N31")->text(), "한국어(&K)");

    QHeaderView* header = form.ListView1->header();
    const int widths[] = {150, 100, 110, 110, 110, 110};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(header->sectionSize(i), widths[i]) << i;
    }
    EXPECT_FALSE(header->sectionsClickable());
}

TEST_F(MainFormTest, ActivationReadsConnectionsOnceBehindThePanel) {
    TMainForm& form = Start();
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.Activated(), 3000);
    EXPECT_EQ(services_.connectionReads, 1);
    EXPECT_EQ(form.Inventory().ConnectionIDs, QStringList{"eth0"});
    EXPECT_FALSE(form.Panel1->isVisible());
    EXPECT_EQ(form.Panel1->text(), form.MessageTexts().Text("msgReadInterface"));

    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activate);
    QTest::qWait(50);
    EXPECT_EQ(services_.connectionReads, 1);

    form.close();
    EXPECT_TRUE(form.Inventory().ConnectionIDs.isEmpty());
}

TEST_F(MainFormTest, AFileTheStoreRefusesLeavesTheWindowUsableAndTheFileAlone) {
    {
        std::ofstream out(Path(), std::ios::binary);
        out << std::string(4096, 'Z');
    }
    const std::string before = ReadFile(Path());
    ModalAnswers answers;
    TMainForm& form = Start();
    EXPECT_EQ(form.ListView1->topLevelItemCount(), 0);
    EXPECT_TRUE(form.acInsert->isEnabled());
    EXPECT_FALSE(form.acResult->isEnabled());
    EXPECT_TRUE(answers.Seen().empty());
    form.close();
    form_.reset();
    EXPECT_EQ(ReadFile(Path()), before);
}

TEST_F(MainFormTest, ProfilesTheFileCannotGiveAreReportedOnceAfterStartUp) {
    Profile big = MakeProfile("big");
    for (unsigned k = 0; k < 3000; ++k) {
        big.Script += k % 60 == 59 ? '\n' : static_cast<char>('a' + (k * 7919u + k / 3u) % 26u);
    }
    Profile other = big;
    other.Name = "other";
    Seed({big, other});
    std::filesystem::resize_file(Path(), std::filesystem::file_size(Path()) - 100);

    ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    TMainForm& form = Start();
    EXPECT_EQ(Rows(), std::vector<std::string>{"big"});
    EXPECT_TRUE(answers.Seen().empty());  // not before the window is up
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.Activated(), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(answers.Seen().size(), size_t{1}, 3000);
    EXPECT_EQ(answers.Seen()[0],
              "DamagedProfilesBox: " +
                  form.MessageTexts().Text("msgDamagedProfiles").arg(1).toStdString());
}

// Neither a damaged placement file nor a damaged language file keeps the profiles from
// the list; each is said once, the placement file is left as it was.
TEST_F(MainFormTest, DamagedSettingsAndLanguageFilesAreToldAndLeftAlone) {
    Seed({MakeProfile("office")});
    const std::string ini = tmp_ / kSettingsFileName;
    const std::string damaged("[QuorvIPChage]\nLanguage=English\n\0", 33);
    std::ofstream(ini) << damaged;
    TempFolder languages;
    std::ofstream(languages / "English.dat") << std::string("[MainForm]\0", 11);
    ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    TMainForm& form = Start(QString::fromStdString(languages.path()));
    EXPECT_EQ(Rows(), std::vector<std::string>{"office"});
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.Activated(), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(answers.Seen().size(), size_t{1}, 3000);
    EXPECT_EQ(answers.Seen()[0].rfind("SettingsProblemBox: Cannot read", 0), 0u)
        << answers.Seen()[0];
    EXPECT_NE(answers.Seen()[0].find("English.dat"), std::string::npos) << answers.Seen()[0];
    EXPECT_EQ(form.acInsert->text(), "추가(&N)");
    form.close();
    EXPECT_EQ(ReadFile(ini), damaged);
}

TEST_F(MainFormTest, LanguageIsTakenAtActivationSwitchedAndSavedOnClose) {
    std::ofstream(tmp_ / kSettingsFileName) << "[QuorvIPChage]\nLanguage=English\n";
    TMainForm& form = Start(QStringLiteral(QUORV_BIN_DIR "/Language"));
    EXPECT_EQ(form.acInsert->text(), "추가(&N)");
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.Activated(), 3000);
    EXPECT_EQ(form.acInsert->text(), "&New...");
    EXPECT_EQ(form.findChild<QAction*>("N5")->text(), "&New...");
    EXPECT_EQ(form.findChild<QMenu*>("mnFile")->title(), "&File");
    EXPECT_EQ(form.MessageTexts().Text("msgOK"), "OK");
    EXPECT_EQ(form.Language(), "English");

    form.acKorea->trigger();
    EXPECT_EQ(form.acInsert->text(), "추가(&N)");
    EXPECT_EQ(form.MessageTexts().Text("msgOK"), "확인");
    form.close();
    const std::string ini = ReadFile(tmp_ / kSettingsFileName);
    EXPECT_NE(ini.find("Language=Korea"), std::string::npos) << ini;
}

// The first paint already shows the chosen language; the start-up work that can wait
// (the connection inventory behind its panel) and work handed to AfterFirstPaint run
// after it, in the order given.
TEST_F(MainFormTest, TheFirstPaintIsInTheUsersLanguageAndTheWaitingWorkFollowsIt) {
    std::ofstream(tmp_ / kSettingsFileName) << "[QuorvIPChage]\nLanguage=English\n";
    TMainForm& form = Start(QStringLiteral(QUORV_BIN_DIR "/Language"));
    struct AtFirstPaint : QObject {
        TMainForm* form;
        FakeServices* services;
        bool painted = false;
        QString caption;
        int reads = -1;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint && !painted) {
                painted = true;
                caption = form->acInsert->text();
                reads = services->connectionReads;
            }
            return false;
        }
    } watch;
    watch.form = &form;
    watch.services = &services_;
    form.ListView1->viewport()->installEventFilter(&watch);
    std::vector<std::string> order;
    form.AfterFirstPaint(
        [&] { order.push_back("first " + std::to_string(services_.connectionReads)); });
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.Activated(), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), size_t{1}, 3000);
    ASSERT_TRUE(watch.painted);
    EXPECT_EQ(watch.caption, "&New...");
    EXPECT_EQ(watch.reads, 0);
    EXPECT_EQ(services_.connectionReads, 1);
    EXPECT_EQ(order, std::vector<std::string>{"first 0"});
    // Given after the paint, work runs at once (queued).
    form.AfterFirstPaint([&] { order.push_back("later"); });
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), size_t{2}, 3000);
}

TEST_F(MainFormTest, AboutCommandShowsTheAboutBox) {
    Start();
    ModalAnswers answers;
    answers.Then([](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); });
    form_->acAbout->trigger();
    ASSERT_EQ(answers.Seen().size(), 1u);
    EXPECT_EQ(answers.Seen()[0], "AboutForm");
}

// Nothing of the window is cut off with Korean texts; with QUORV_SCREENSHOT_DIR set the
// window, its tool menu and the pictures at 16 and 32 pixels are saved there to look at.
TEST_F(MainFormTest, WindowFitsItsTextsAndPictures) {
    Seed({MakeProfile("Office", "192.168.10.25", "255.255.255.0"), MakeProfile("home"),
          MakeProfile("회사", "10.0.0.5", "255.0.0.0"), MakeProfile("Cafe"),
          MakeProfile("Lab 2", "172.16.3.9", "255.255.0.0")});
    TMainForm& form = Start();
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.Activated(), 3000);
    Select("Office");
    for (QAction* action : form.ToolBar1->actions()) {
        QWidget* button = form.ToolBar1->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisible()) << action->objectName().toStdString();
        EXPECT_TRUE(form.ToolBar1->rect().contains(button->geometry()))
            << action->objectName().toStdString();
    }
    auto* tool = form.findChild<QMenu*>("mnTool");
    tool->popup(form.mapToGlobal(QPoint(40, 20)));
    QTRY_VERIFY(tool->isVisible());
    for (QAction* item : tool->actions()) {
        if (!item->isSeparator()) {
            const QRect place = tool->actionGeometry(item);
            const int needed = tool->fontMetrics().horizontalAdvance(item->text().remove('&'));
            EXPECT_GT(place.width(), needed) << item->objectName().toStdString();
        }
    }
    const QFontMetrics rows(form.ListView1->font());
    EXPECT_LT(rows.horizontalAdvance("192.168.10.25") + 8, form.ListView1->columnWidth(1));

    if (const char* dir = std::getenv("QUORV_SCREENSHOT_DIR")) {
        const QString folder = QString::fromLocal8Bit(dir) + "/";
        form.grab().save(folder + "main-window.png");
        tool->grab().save(folder + "tool-menu.png");
        QImage strip(kImageCount * 36, 56, QImage::Format_ARGB32);
        strip.fill(Qt::white);
        QPainter painter(&strip);
        for (int i = 0; i < kImageCount; ++i) {
            painter.drawPixmap(i * 36, 0, form.ImageList1->Icon(i).pixmap(16, 16));
            painter.drawPixmap(i * 36, 20, form.ImageList1->Icon(i).pixmap(32, 32));
        }
        painter.end();
        strip.save(folder + "pictures.png");
    }
    tool->hide();
}

TEST(Program, WithoutADisplaySaysWhatToDoInOneLine) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(name);
    }
    program.setProcessEnvironment(env);
    program.start(QUORV_BIN_DIR "/QuorvIPChanger", {});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 1);
    const QString said = QString::fromUtf8(program.readAllStandardError());
    EXPECT_EQ(said.count('\n'), 1) << said.toStdString();
    EXPECT_TRUE(said.contains("qic") && said.contains("QT_QPA_PLATFORM=offscreen"))
        << said.toStdString();
}

TEST_F(MainFormTest, AFileThatCannotBeMadeIsReportedAndTheWindowStillOpens) {
    ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    TMainForm form(tmp_ / "missing/folder/" + kDataFileName, &services_);
    ASSERT_EQ(answers.Seen().size(), 1u);
    EXPECT_EQ(answers.Seen()[0].rfind("ErrorBox: ", 0), 0u) << answers.Seen()[0];
    EXPECT_FALSE(form.StoreTable1.Active());
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.Activated(), 3000);
    EXPECT_EQ(services_.connectionReads, 1);
}

// --- the list --------------------------------------------------------------------------

TEST_F(MainFormTest, ListFollowsTheStoreCollationAndShowsFirstItems) {
    Seed({MakeProfile("b"), MakeProfile("B"),
          MakeProfile("a", "10.0.0.5,10.0.0.6", "255.0.0.0,255.255.0.0"), MakeProfile("Ä"),
          MakeProfile("회사")});
    TMainForm& form = Start();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a", "Ä", "b", "B", "회사"}));
    QTreeWidgetItem* a = form.ListView1->FindRow("a");
    EXPECT_EQ(a->text(1), "10.0.0.5");
    EXPECT_EQ(a->text(2), "255.0.0.0");
    EXPECT_EQ(form.ListView1->FindRow("b")->text(1), "DHCP");
    EXPECT_EQ(form.ListView1->FindRow("b")->text(2), "");
    // A foreign row (as the IP dialog adds them) takes its place too.
    auto* added = new QTreeWidgetItem(form.ListView1);
    added->setText(0, "Aa");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a", "Ä", "Aa", "b", "B", "회사"}));
}

TEST_F(MainFormTest, EnablingRulesFollowTheSelection) {
    Seed({MakeProfile("one")});
    TMainForm& form = Start();
    const QList<QAction*> needRow = {form.acResult, form.acUpdate, form.acDelete,
                                     form.acIcon11, form.acIcon12, form.acIcon13};
    const QList<QAction*> always = {form.acInsert, form.acOpen,   form.acSave,    form.acOption,
                                    form.acInfo,   form.acKorea,  form.acEnglish, form.acHelp,
                                    form.acQnA,    form.acDonate, form.acAbout,   form.acExit};
    for (QAction* a : needRow) {
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    }
    Select("one");
    for (QAction* a : needRow + always) {
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    }
    EXPECT_TRUE(form.findChild<QAction*>("N15")->isEnabled());
    form.ListView1->clearSelection();
    EXPECT_FALSE(form.findChild<QAction*>("N15")->isEnabled());
    // Hints are tooltips only: no status tip would write to the status bar.
    for (QAction* a : form.findChildren<QAction*>()) {
        EXPECT_TRUE(a->statusTip().isEmpty()) << a->objectName().toStdString();
    }
}

// --- renaming in place -----------------------------------------------------------------

TEST_F(MainFormTest, RenameRules) {
    Seed({MakeProfile("b"), MakeProfile("c"), MakeProfile("other")});
    Start();
    ModalAnswers answers;
    answers.Press(QMessageBox::Ok);

    // Confirmed unchanged: nothing to say, nothing written.
    Rename("b", "b");
    EXPECT_TRUE(answers.Seen().empty());
    EXPECT_EQ(Rows(), (std::vector<std::string>{"b", "c", "other"}));

    // Onto another profile: refused, the row keeps its name.
    Rename("b", "c");
    ASSERT_EQ(answers.Seen().size(), 1u);
    EXPECT_EQ(answers.Seen()[0],
              "WarningBox: " + form_->MessageTexts().Text("msgAlreadyExists").toStdString());
    EXPECT_EQ(Rows(), (std::vector<std::string>{"b", "c", "other"}));

    // A name that differs only in case is another name; the row moves to its place.
    Rename("b", "a");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a", "c", "other"}));
    Rename("a", "d");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"c", "d", "other"}));
    Rename("c", "C");
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"C", "d", "other"}));

    // Korean through the input method.
    Rename("other", QStringLiteral("회의실"), true);
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"C", "d", "회의실"}));
    EXPECT_EQ(answers.Seen().size(), 1u);
}

TEST_F(MainFormTest, RenameKeepsWhatTheNameColumnStores) {
    Seed({MakeProfile("short")});
    Start();
    // 49 ASCII bytes and a three-byte letter: the letter does not fit whole.
    const QString typed = QString(49, 'x') + QStringLiteral("가나");
    ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    Rename("short", typed);
    const std::string stored(49, 'x');
    // The cut is told, with the name as it is kept.
    EXPECT_EQ(answers.Seen(),
              std::vector<std::string>{
                  "WarningBox: " +
                  form_->MessageTexts().Text("msgNameCut").arg(QString(49, 'x')).toStdString()});
    EXPECT_EQ(StoredNames(), std::vector<std::string>{stored});
    EXPECT_EQ(Rows(), std::vector<std::string>{stored});
    // The row still finds its record.
    Select(stored);
    form_->acIcon13->trigger();
    EXPECT_EQ(Stored(stored)->Icon, 13);
}

TEST_F(MainFormTest, AnEmptyNameIsRefusedAsQicRefusesIt) {
    Seed({MakeProfile("b")});
    Start();
    ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    Rename("b", "");
    EXPECT_EQ(answers.Seen(),
              std::vector<std::string>{"WarningBox: " +
                                       form_->MessageTexts().Text("msgEmptyName").toStdString()});
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"b"});
    EXPECT_EQ(Rows(), std::vector<std::string>{"b"});
}

TEST_F(MainFormTest, NamesCompareByteForByte) {
    // Equal to the collation, different texts: composed and decomposed é.
    const std::string composed = "caf\xC3\xA9";
    const std::string decomposed = "cafe\xCC\x81";
    Seed({MakeProfile(composed), MakeProfile("x")});
    Start();
    ModalAnswers answers;
    Rename("x", QString::fromStdString(decomposed));
    EXPECT_TRUE(answers.Seen().empty());
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{decomposed, composed}));
    Select(decomposed);
    form_->acIcon12->trigger();
    EXPECT_EQ(Stored(decomposed)->Icon, 12);
    EXPECT_EQ(Stored(composed)->Icon, 11);
}

TEST_F(MainFormTest, AFailedPostKeepsListAndTableInStep) {
    Seed({MakeProfile("locked")});
    Start();
    const int fd = HoldWriteLock();
    ASSERT_GE(fd, 0);

    ModalAnswers answers;
    answers.Press(QMessageBox::Ok).Press(QMessageBox::Ok);
    Rename("locked", "renamed");
    Select("locked");
    form_->acIcon12->trigger();
    ::close(fd);

    ASSERT_EQ(answers.Seen().size(), 2u);
    EXPECT_EQ(answers.Seen()[0].rfind("ErrorBox: ", 0), 0u) << answers.Seen()[0];
    EXPECT_EQ(Rows(), std::vector<std::string>{"locked"});
    EXPECT_EQ(form_->ListView1->FindRow("locked")->data(0, Qt::UserRole).toInt(), 11);
    EXPECT_EQ(form_->StoreTable1.State(), store::TDataSetState::dsBrowse);

    // Once the lock is gone the same commands work.
    Rename("locked", "renamed");
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"renamed"});
}

// --- commands --------------------------------------------------------------------------

// The IP dialog answered with an automatic address.
void AcceptDhcp(QWidget* w) {
    auto* form = qobject_cast<dialogs::TIPMapForm*>(w);
    ASSERT_NE(form, nullptr);
    form->rbDHCPClick();
    form->btnOK->click();
}

void TypeName(QWidget* w, const QString& name) {
    auto* box = qobject_cast<QInputDialog*>(w);
    ASSERT_NE(box, nullptr);
    box->setTextValue(name);
    box->accept();
}

class ProfileDialogTest : public MainFormTest {
  protected:
    void SetUp() override {
        dialogs::TIPMapForm::SetPrinterReader(
            [](inventory::TInventoryLists& lists) { lists.PrintersRead = true; });
        // The inventory's list, not this machine's interfaces.
        dialogs::SetConnectionReader([] { return std::nullopt; });
    }
    void TearDown() override {
        dialogs::TIPMapForm::SetPrinterReader({});
        dialogs::SetConnectionReader({});
    }
    void StartWithConnections() {
        Start();
        form_->Inventory().ConnectionIDs = {"eth0"};
        form_->Inventory().AdapterNames = {"Test adapter"};
    }
};

TEST_F(ProfileDialogTest, InsertAsksAgainForATakenName) {
    Seed({MakeProfile("Office")});
    StartWithConnections();
    QString secondOffer;
    ModalAnswers answers;
    answers.Then([](QWidget* w) { TypeName(w, "Office"); })
        .Press(QMessageBox::Ok)
        .Then([&](QWidget* w) {
            secondOffer = qobject_cast<QInputDialog*>(w)->textValue();
            TypeName(w, "office");
        })
        .Then([](QWidget* w) {
            EXPECT_EQ(w->windowTitle(), "IP 설정 - [office]");
            AcceptDhcp(w);
        });
    form_->acInsert->trigger();
    EXPECT_EQ(answers.Pending(), 0u);
    EXPECT_EQ(secondOffer, form_->MessageTexts().Text("msgNewItem"));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"office", "Office"}));
    const std::optional<Profile> added = Stored("office");
    ASSERT_TRUE(added);
    EXPECT_EQ(added->IP, "DHCP");
    EXPECT_EQ(added->Icon, 11);
    EXPECT_EQ(form_->ListView1->FindRow("office")->data(0, Qt::UserRole).toInt(), 11);
    // The new profile is the one selected, ready for the next command.
    EXPECT_EQ(form_->ListView1->Selected(), form_->ListView1->FindRow("office"));
}

TEST_F(ProfileDialogTest, InsertAsksAgainForAnEmptyName) {
    StartWithConnections();
    ModalAnswers answers;
    answers.Then([](QWidget* w) { TypeName(w, ""); }).Press(QMessageBox::Ok).Then([](QWidget* w) {
        qobject_cast<QDialog*>(w)->reject();
    });
    form_->acInsert->trigger();
    EXPECT_EQ(answers.Pending(), 0u);
    EXPECT_EQ(
        answers.Seen(),
        (std::vector<std::string>{
            "InputBox", "WarningBox: " + form_->MessageTexts().Text("msgEmptyName").toStdString(),
            "InputBox"}));
    EXPECT_TRUE(StoredNames().empty());
}

TEST_F(ProfileDialogTest, CancelledInsertsLeaveNoTrace) {
    StartWithConnections();
    ModalAnswers answers;
    answers.Then([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); })
        .Then([](QWidget* w) { TypeName(w, "kept out"); })
        .Then([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    form_->acInsert->trigger();
    form_->acInsert->trigger();
    EXPECT_EQ(answers.Pending(), 0u);
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(StoredNames().empty());
    EXPECT_EQ(form_->StoreTable1.State(), store::TDataSetState::dsBrowse);
}

TEST_F(ProfileDialogTest, EditOpensTheDialogInEditModeAndPosts) {
    Seed({MakeProfile("Office", "10.0.0.5", "255.0.0.0")});
    StartWithConnections();
    Select("Office");
    ModalAnswers answers;
    answers.Then([&](QWidget* w) {
        auto* form = qobject_cast<dialogs::TIPMapForm*>(w);
        ASSERT_NE(form, nullptr);
        EXPECT_TRUE(form->EditMode());
        EXPECT_EQ(form->windowTitle(), "IP 설정 - [Office]");
        AcceptDhcp(w);
    });
    form_->acUpdate->trigger();
    EXPECT_EQ(Stored("Office")->IP, "DHCP");
    EXPECT_EQ(form_->ListView1->FindRow("Office")->text(1), "DHCP");

    // Double-click with option 1 opens the same dialog for the row.
    WriteOption(form_->StoreTable2, "DblClickAction", "1");
    answers.Then([](QWidget* w) {
        EXPECT_EQ(w->objectName(), "IPMapForm");
        qobject_cast<QDialog*>(w)->reject();
    });
    emit form_->ListView1->itemDoubleClicked(form_->ListView1->FindRow("Office"), 0);
    EXPECT_EQ(answers.Pending(), 0u);
}

TEST_F(ProfileDialogTest, AFailedInsertPostTakesTheRowBack) {
    Seed({MakeProfile("a")});
    StartWithConnections();
    const int fd = HoldWriteLock();
    ASSERT_GE(fd, 0);
    ModalAnswers answers;
    answers.Then([](QWidget* w) { TypeName(w, "b"); }).Then(AcceptDhcp).Press(QMessageBox::Ok);
    form_->acInsert->trigger();
    ::close(fd);
    ASSERT_EQ(answers.Seen().size(), 3u);
    EXPECT_EQ(answers.Seen()[2].rfind("ErrorBox: ", 0), 0u) << answers.Seen()[2];
    EXPECT_EQ(Rows(), std::vector<std::string>{"a"});
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"a"});
    EXPECT_EQ(form_->StoreTable1.State(), store::TDataSetState::dsBrowse);
}

TEST_F(ProfileDialogTest, AFailedEditLeavesRowAndFileAsTheyWere) {
    Seed({MakeProfile("Office", "10.0.0.5", "255.0.0.0")});
    StartWithConnections();
    Select("Office");
    const int fd = HoldWriteLock();
    ASSERT_GE(fd, 0);
    ModalAnswers answers;
    answers.Then(AcceptDhcp).Press(QMessageBox::Ok);
    form_->acUpdate->trigger();
    ::close(fd);
    ASSERT_EQ(answers.Seen().size(), 2u);
    EXPECT_EQ(answers.Seen()[1].rfind("ErrorBox: ", 0), 0u) << answers.Seen()[1];
    EXPECT_EQ(form_->ListView1->FindRow("Office")->text(1), "10.0.0.5");
    EXPECT_EQ(Stored("Office")->IP, "10.0.0.5");
    EXPECT_EQ(form_->StoreTable1.State(), store::TDataSetState::dsBrowse);
}

TEST_F(ProfileDialogTest, AnEditKeepsWhatTheDialogDoesNotShowAndTheRowShowsTheResult) {
    Profile office = MakeProfile("Office", "10.0.0.5,10.0.0.6", "255.0.0.0,255.255.0.0");
    office.DNS1 = "10.0.0.2";
    office.Icon = 12;
    office.Script = "echo kept";
    Seed({office});
    StartWithConnections();
    Select("Office");
    ModalAnswers answers;
    answers.Then([](QWidget* w) {
        auto* form = qobject_cast<dialogs::TIPMapForm*>(w);
        ASSERT_NE(form, nullptr);
        form->IPAddrEdit3->SetText("10.0.0.1");
        form->btnOK->click();
    });
    form_->acUpdate->trigger();
    const std::optional<Profile> stored = Stored("Office");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->IP, office.IP);
    EXPECT_EQ(stored->Gateway, "10.0.0.1");
    EXPECT_EQ(stored->Icon, 12);
    EXPECT_EQ(stored->Script, "echo kept");
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"Office"});
    QTreeWidgetItem* row = form_->ListView1->FindRow("Office");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text(3), "10.0.0.1");
    EXPECT_EQ(row->text(4), "10.0.0.2");
    EXPECT_EQ(row->data(0, Qt::UserRole).toInt(), 12);
}

TEST_F(ProfileDialogTest, WhatAnotherProgramDidWhileTheDialogWasOpenIsRespected) {
    Seed({MakeProfile("a", "10.0.0.5", "255.0.0.0")});
    StartWithConnections();
    ModalAnswers answers;
    // A name taken meanwhile is refused, and the other program's profile stays.
    answers.Then([](QWidget* w) { TypeName(w, "b"); })
        .Then([this](QWidget* w) {
            ASSERT_TRUE(AddProfile(*OpenProfiles(), MakeProfile("b", "10.9.9.9", "255.0.0.0")));
            AcceptDhcp(w);
        })
        .Press(QMessageBox::Ok);
    form_->acInsert->trigger();
    ASSERT_EQ(answers.Seen().size(), 3u);
    EXPECT_EQ(answers.Seen()[2],
              "WarningBox: " + form_->MessageTexts().Text("msgAlreadyExists").toStdString());
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Stored("b")->IP, "10.9.9.9");
    EXPECT_EQ(Rows(), std::vector<std::string>{"a"});

    // A profile deleted meanwhile is written again as the user saw and changed it.
    Select("a");
    answers.Then([this](QWidget* w) {
        auto other = OpenProfiles();
        ASSERT_TRUE(FindByName(*other, "a"));
        other->Delete();
        AcceptDhcp(w);
    });
    form_->acUpdate->trigger();
    EXPECT_EQ(answers.Pending(), 0u);
    ASSERT_TRUE(Stored("a"));
    EXPECT_EQ(Stored("a")->IP, "DHCP");
    EXPECT_EQ(Stored("a")->Interface, "eth0");
    EXPECT_EQ(form_->ListView1->FindRow("a")->text(1), "DHCP");
}

// The window and qic at once: every change finds its record as it is in the file now and
// writes only what it changed, so nothing another program did meanwhile is undone.
TEST_F(ProfileDialogTest, ChangesWorkOnTheRecordAsItIsNowAndWriteOnlyWhatChanged) {
    Profile x = MakeProfile("X", "10.0.0.5", "255.0.0.0");
    x.Gateway = "10.0.0.1";
    Seed({x});
    StartWithConnections();
    auto otherRename = [this](const std::string& from, const std::string& to) {
        auto other = OpenProfiles();
        ASSERT_TRUE(FindByName(*other, from));
        other->Edit();
        other->FieldByName("Name").SetAsString(to);
        other->Post();
    };
    ModalAnswers answers;

    // Accepted unchanged: a gateway another program set meanwhile stays.
    Select("X");
    answers.Then([this](QWidget* w) {
        auto other = OpenProfiles();
        ASSERT_TRUE(FindByName(*other, "X"));
        other->Edit();
        other->FieldByName("Gateway").SetAsString("10.0.0.9");
        other->Post();
        qobject_cast<dialogs::TIPMapForm*>(w)->btnOK->click();
    });
    form_->acUpdate->trigger();
    EXPECT_EQ(Stored("X")->Gateway, "10.0.0.9");

    // Renamed to Y and a new X added while the dialog is open: the edit goes to Y, the
    // rename stays, and the new X is untouched.
    Select("X");
    answers.Then([&](QWidget* w) {
        otherRename("X", "Y");
        ASSERT_TRUE(AddProfile(*OpenProfiles(), MakeProfile("X", "10.7.7.7", "255.0.0.0")));
        AcceptDhcp(w);
    });
    form_->acUpdate->trigger();
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"X", "Y"}));
    EXPECT_EQ(Stored("Y")->IP, "DHCP");
    EXPECT_EQ(Stored("Y")->Gateway, "");
    EXPECT_EQ(Stored("X")->IP, "10.7.7.7");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"X", "Y"}));

    // An icon changed after another program renamed the row's profile: the icon goes to
    // it under its new name, which the list then shows.
    Select("Y");
    otherRename("Y", "Z");
    form_->acIcon13->trigger();
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"X", "Z"}));
    EXPECT_EQ(Stored("Z")->Icon, 13);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"X", "Z"}));

    // A row whose profile was deleted meanwhile: said once, and the list follows the file.
    {
        auto other = OpenProfiles();
        ASSERT_TRUE(FindByName(*other, "Z"));
        other->Delete();
    }
    answers.Press(QMessageBox::Ok);
    Rename("Z", "W");
    QTRY_COMPARE_WITH_TIMEOUT(answers.Pending(), size_t{0}, 3000);
    EXPECT_EQ(answers.Seen().back(),
              "WarningBox: " + form_->MessageTexts().Text("msgProfileGone").arg("Z").toStdString());
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"X"});
    EXPECT_EQ(Rows(), std::vector<std::string>{"X"});
}

TEST_F(ProfileDialogTest, ATableTheStoreRefusedIsReportedBeforeTheDialogOpens) {
    std::ofstream(Path(), std::ios::binary) << std::string(4096, 'Z');
    StartWithConnections();
    ModalAnswers answers;
    // Whatever comes up after the name is closed unanswered.
    answers.Then([](QWidget* w) { TypeName(w, "x"); });
    form_->acInsert->trigger();
    ASSERT_EQ(answers.Seen().size(), 2u);
    EXPECT_EQ(answers.Seen()[1], "ErrorBox: Cannot perform this operation on a closed dataset");
}

TEST_F(MainFormTest, IconChangeSurvivesARestart) {
    Seed({MakeProfile("w")});
    Start();
    Select("w");
    form_->acIcon12->trigger();
    EXPECT_EQ(Stored("w")->Icon, 12);
    EXPECT_EQ(form_->ListView1->FindRow("w")->data(0, Qt::UserRole).toInt(), 12);
    Restart();
    EXPECT_EQ(form_->ListView1->FindRow("w")->data(0, Qt::UserRole).toInt(), 12);
}

TEST_F(MainFormTest, DeleteAsksFirst) {
    Seed({MakeProfile("keep"), MakeProfile("gone")});
    Start();
    ModalAnswers answers;
    answers.Press(QMessageBox::No).Press(QMessageBox::Yes);
    Select("gone");
    form_->acDelete->trigger();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"gone", "keep"}));
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"gone", "keep"}));
    Select("gone");
    form_->acDelete->trigger();
    EXPECT_EQ(Rows(), std::vector<std::string>{"keep"});
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"keep"});
    EXPECT_FALSE(form_->acDelete->isEnabled());

    // The row's profile renamed elsewhere and its old name given to a new one: the delete
    // takes the profile the row showed, never the newcomer.
    {
        auto other = OpenProfiles();
        ASSERT_TRUE(FindByName(*other, "keep"));
        other->Edit();
        other->FieldByName("Name").SetAsString("kept elsewhere");
        other->Post();
        ASSERT_TRUE(AddProfile(*other, MakeProfile("keep")));
    }
    answers.Press(QMessageBox::Yes);
    Select("keep");
    form_->acDelete->trigger();
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"keep"});
    EXPECT_EQ(answers.Pending(), 0u);
}

TEST_F(MainFormTest, ApplyShowsTheReportOnlyWhenAsked) {
    Profile office = MakeProfile("Office", "192.168.0.2", "255.255.255.0");
    office.Script = "echo hi";
    Seed({office}, {{"ShowScriptWindow", "0"}});
    Start();
    Select("Office");
    form_->acResult->trigger();
    EXPECT_EQ(services_.applied, std::vector<std::string>{"Office"});
    EXPECT_EQ(services_.appliedProfile.IP, "192.168.0.2");
    EXPECT_EQ(services_.appliedProfile.Script, "echo hi");
    EXPECT_FALSE(services_.showScriptWindow);
    EXPECT_EQ(services_.events, std::vector<std::string>{"apply"});

    WriteOption(form_->StoreTable2, "AfterIPInfo", "1");
    form_->acResult->trigger();
    EXPECT_EQ(services_.events, (std::vector<std::string>{"apply", "apply", "report"}));
}

TEST_F(MainFormTest, ApplyOfAConnectionThisMachineLacksIsRefusedFirst) {
    Profile windows = MakeProfile("Office");
    windows.Interface = "Local Area Connection";
    Seed({windows});
    Start();
    Select("Office");
    ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    form_->acResult->trigger();
    EXPECT_TRUE(services_.applied.empty());
    ASSERT_EQ(answers.Seen().size(), 1u);
    const std::string said = form_->MessageTexts()
                                 .Text("msgUnknownConnection")
                                 .arg("\"Office\"", "\"Local Area Connection\"", "\"eth0\"")
                                 .toStdString();
    EXPECT_NE(answers.Seen()[0].find(said), std::string::npos) << answers.Seen()[0];
}

TEST_F(MainFormTest, RootRefusesToApplyFromAFileOthersCouldReplace) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root refuses";
    }
    Seed({MakeProfile("Office", "192.168.0.2", "255.255.255.0")});
    // A folder anyone may write to: another user could swap the file and its script.
    ::chmod(tmp_.path().c_str(), 0777);
    Start();
    Select("Office");
    ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    form_->acResult->trigger();
    ::chmod(tmp_.path().c_str(), 0700);
    ASSERT_EQ(answers.Seen().size(), 1u);
    EXPECT_NE(answers.Seen()[0].find("refusing to apply a profile as root"), std::string::npos)
        << answers.Seen()[0];
    EXPECT_TRUE(services_.applied.empty());
}

TEST_F(MainFormTest, OptionsDialogDecidesWhetherTheReportFollows) {
    Seed({MakeProfile("p")});
    Start();
    ModalAnswers answers;
    answers.Then([](QWidget* w) {
        auto* options = qobject_cast<settings::TOptionForm*>(w);
        ASSERT_NE(options, nullptr);
        options->cbShowIPInfo->setChecked(true);
        options->accept();
    });
    form_->acOption->trigger();
    EXPECT_EQ(ReadOption(form_->StoreTable2, "AfterIPInfo"), "1");
    Select("p");
    form_->acResult->trigger();
    form_->acInfo->trigger();
    EXPECT_EQ(services_.events, (std::vector<std::string>{"apply", "report", "report"}));
}

TEST_F(MainFormTest, DoubleClickRunsTheChosenCommand) {
    Seed({MakeProfile("p")});
    Start();
    QTreeWidgetItem* row = Select("p");
    auto doubleClick = [&] { emit form_->ListView1->itemDoubleClicked(row, 0); };

    doubleClick();  // 0: apply
    EXPECT_EQ(services_.applied.size(), 1u);

    WriteOption(form_->StoreTable2, "DblClickAction", "7");
    {
        ModalAnswers none;
        doubleClick();
        EXPECT_EQ(services_.applied.size(), 1u);
        EXPECT_TRUE(none.Seen().empty());
    }
    WriteOption(form_->StoreTable2, "DblClickAction", "x");
    {
        ModalAnswers error;
        error.Press(QMessageBox::Ok);
        doubleClick();
        ASSERT_EQ(error.Seen().size(), 1u);
        EXPECT_EQ(error.Seen()[0], "ErrorBox: 'x' is not a valid integer value");
    }
    WriteOption(form_->StoreTable2, "DblClickAction", "2");
    {
        ModalAnswers confirm;
        confirm.Press(QMessageBox::Yes);
        doubleClick();
        EXPECT_TRUE(StoredNames().empty());
        EXPECT_EQ(form_->ListView1->topLevelItemCount(), 0);
    }
}

TEST_F(MainFormTest, ExportThenImportRefillsTheList) {
    Seed({MakeProfile("a"), MakeProfile("b", "10.1.1.1", "255.0.0.0")});
    Start();
    const QString file = QString::fromStdString(tmp_ / "all.qic");
    settings::SetFileChooser([&](QFileDialog&) { return file; });
    form_->acSave->trigger();
    ModalAnswers answers;
    answers.Press(QMessageBox::Yes).Press(QMessageBox::No);
    Select("b");
    form_->acDelete->trigger();
    EXPECT_EQ(Rows(), std::vector<std::string>{"a"});
    form_->acOpen->trigger();  // asks about "a" only
    settings::SetFileChooser({});
    EXPECT_EQ(answers.Seen().size(), 2u);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(form_->ListView1->FindRow("b")->text(1), "10.1.1.1");
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"a", "b"}));
}

// Receives the addresses the web commands open.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    std::vector<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

TEST_F(MainFormTest, WebCommandsOpenTheMakersPages) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    Start();
    form_->acHelp->trigger();
    form_->acQnA->trigger();
    form_->acDonate->trigger();
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(catcher.urls.size(), 3u);
    EXPECT_EQ(catcher.urls[0].toString(),
              QStringLiteral(QUORV_WEB_HOST "/helper.php?program=quorvipchanger"));
    EXPECT_EQ(catcher.urls[1].query(), "go=qna&product=quorvipchanger");
    EXPECT_EQ(catcher.urls[2].query(), "go=donate&product=quorvipchanger");
}

}  // namespace
}  // namespace quorv::app

#include "MainFormTest.moc"
