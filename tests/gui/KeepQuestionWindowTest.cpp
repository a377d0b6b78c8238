#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ModalAnswer.h"
#include "TempFolder.h"
#include "WindowTestApplication.h"
#include "core/CommaText.h"
#include "core/DataFile.h"
#include "core/DataLocation.h"
#include "core/OptionRecord.h"
#include "core/ProfileRecord.h"
#include "gui/dialogs/KeepSettingsForm.h"
#include "gui/dialogs/OptionForm.h"
#include "gui/dialogs/ResultForm.h"
#include "gui/frame/ErrorBox.h"
#include "gui/frame/MessageTexts.h"
#include "gui/main/MainForm.h"

namespace quorv::app {
namespace {

using quorv::testing::ModalAnswers;
using quorv::testing::ReadFile;
using quorv::testing::TempFolder;
using Lines = std::vector<std::string>;

const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new quorv::testing::WindowTestApplication<TApplication>);

// netsh with a watchdog, the check and the watchdog's answers, recorded instead of done.
class StandInSystem : public apply::ApplyServices {
  public:
    Lines log;
    std::vector<platform::PendingChange> pending;
    std::chrono::milliseconds checkTakes{0};
    std::atomic<bool> checking{false};
    std::atomic<int> checksDone{0};

    apply::CommandOutcome RunAndWait(const apply::NetshCommand& script,
                                     const apply::OutputLine& onLine) override {
        std::string args;
        for (const std::string& arg : script.args) {
            args += (args.empty() ? "" : " ") + arg;
        }
        log.push_back(args);
        const Lines lines = apply::SplitLines(script.input);
        for (size_t i = 0; i < lines.size(); ++i) {
            onLine("line " + std::to_string(i + 1) + ": ok");
        }
        onLine("pending: w7 17");
        return {0, "", ""};
    }
    bool WinExec(const std::string&, bool) override { return true; }
    bool SetDefaultPrinter(const std::string& printer) override {
        log.push_back("printer " + printer);
        return true;
    }
    std::vector<platform::ReachResult> CheckReachable(
        const std::vector<platform::ReachTarget>& targets, std::chrono::milliseconds) override {
        checking = true;
        std::this_thread::sleep_for(checkTakes);
        checking = false;
        ++checksDone;
        std::vector<platform::ReachResult> results;
        for (const platform::ReachTarget& target : targets) {
            results.push_back({target, target.kind == platform::ReachTarget::Kind::Gateway});
        }
        return results;
    }
    std::vector<platform::PendingChange> ListPending() override { return pending; }
    platform::PendingAnswer KeepPending(const std::string& id) override {
        log.push_back("keep " + id);
        return {true, "", ""};
    }
    platform::PendingAnswer RestorePending(const std::string& id) override {
        log.push_back("restore " + id);
        return {true, "address gateway dns", ""};
    }
};

// The window's services with the real progress window and question over the stand-in
// system; a plain apply is only recorded.
class Services : public TMainFormServices {
  public:
    StandInSystem system;
    void ReadNetworkConnections(inventory::TInventoryLists& lists) override {
        lists.ConnectionIDs = {"eth0"};
        lists.AdapterNames = {"Test adapter"};
    }
    bool ApplyProfile(QWidget*, const QString& name, const apply::Profile&, bool,
                      const apply::ProgressTexts&) override {
        system.log.push_back("plain apply " + name.toStdString());
        return true;
    }
    void ShowReport(QWidget*) override {}
    bool WatchLiveState() const override { return false; }

  protected:
    apply::ApplyServices& SafeServices() override { return system; }
};

class KeepQuestionWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        store::TStoreTable table, options;
        ASSERT_TRUE(OpenDataFile(tmp_ / kDataFileName, table, options).Ok());
        apply::Profile p;
        p.Name = "office";
        p.IP = "10.0.0.5";
        p.Mask = "255.255.255.0";
        p.Gateway = "10.0.0.1";
        p.DNS1 = "10.0.0.2";
        p.Interface = "eth0";
        table.Insert();
        WriteProfile(table, p);
        table.Post();
    }
    // The per-user settings live in the INI file beside the data file, as the window finds it.
    TMainForm& Start(const std::string& settings = "") {
        std::ofstream(tmp_ / kSettingsFileName) << settings;
        form_ = std::make_unique<TMainForm>(tmp_ / kDataFileName, &services_);
        return *form_;
    }
    void ApplyOffice() {
        QTreeWidgetItem* row = form_->ListView1->FindRow("office");
        ASSERT_NE(row, nullptr);
        form_->ListView1->setCurrentItem(row);
        form_->acResult->trigger();
    }

    TempFolder tmp_;
    Services services_;
    std::unique_ptr<TMainForm> form_;
};

TEST_F(KeepQuestionWindow, WithTheOptionOnEnterAtTheQuestionRestoresAndSaysWhatCameBack) {
    Start("[QuorvIPChage]\nAskKeep=1\nKeepSeconds=20\n");
    ModalAnswers answers;
    QString checks;
    answers
        .Then([](QWidget*) {})  // the progress window closes itself
        .Then([&](QWidget* w) {
            auto* question = qobject_cast<settings::TKeepSettingsForm*>(w);
            ASSERT_NE(question, nullptr);
            checks = question->lblChecks->text();
            // A stray Enter must never keep settings that may have cut the machine off.
            QTest::keyClick(w, Qt::Key_Return);
        })
        .Press(QMessageBox::Ok);
    ApplyOffice();

    EXPECT_EQ(services_.system.log, (Lines{"netsh --keep-within 22 -f -", "restore w7"}));
    EXPECT_TRUE(checks.contains("10.0.0.1")) << checks.toStdString();
    EXPECT_TRUE(checks.contains("10.0.0.2")) << checks.toStdString();
    ASSERT_EQ(answers.Seen().size(), 3u);
    const std::string told = answers.Seen()[2];
    EXPECT_EQ(told.rfind("SafeOutcomeBox: ", 0), 0u) << told;
    for (const char* part : {"msgRestoredAddress", "msgRestoredGateway", "msgRestoredDns"}) {
        EXPECT_NE(told.find(form_->MessageTexts().Text(part).toStdString()), std::string::npos)
            << told;
    }
    EXPECT_NE(told.find("eth0"), std::string::npos) << told;
    EXPECT_EQ(told.find('%'), std::string::npos) << told;
    // Restored is not applied: the status line does not claim it.
    EXPECT_FALSE(form_->StatusBar1->currentMessage().contains("office"));
}

TEST_F(KeepQuestionWindow, TheCheckRunsWhileTheProgressWindowShowsAndPaints) {
    services_.system.checkTakes = std::chrono::milliseconds(400);
    Start("[QuorvIPChage]\nAskKeep=1\nKeepSeconds=20\n");
    QPointer<apply::TResultForm> progress;
    // The progress text each time the event loop got a turn while the check ran.
    QStringList duringCheck;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (services_.system.checking && progress) {
            duringCheck << progress->Label1->text();
            // With QUORV_SCREENSHOT_DIR set, the window as it shows during the check.
            const QString dir = qEnvironmentVariable("QUORV_SCREENSHOT_DIR");
            if (duringCheck.size() == 3 && !dir.isEmpty()) {
                progress->grab().save(dir + "/ProgressCheck.png");
            }
        }
    });
    watch.start();
    int checksBeforeQuestion = -1;
    ModalAnswers answers;
    answers.Then([&](QWidget* w) { progress = qobject_cast<apply::TResultForm*>(w); })
        .Then([&](QWidget* w) {
            checksBeforeQuestion = services_.system.checksDone;
            auto* question = qobject_cast<settings::TKeepSettingsForm*>(w);
            ASSERT_NE(question, nullptr);
            question->btnKeep->click();
        });
    ApplyOffice();

    ASSERT_GE(duringCheck.size(), 5) << "the window did not get its turns during the check";
    const QString checkText = form_->MessageTexts().Text("msgCheckSettings");
    EXPECT_FALSE(checkText.isEmpty());
    for (const QString& text : duringCheck) {
        EXPECT_EQ(text, checkText);
    }
    EXPECT_EQ(checksBeforeQuestion, 1);
    EXPECT_EQ(services_.system.log, (Lines{"netsh --keep-within 22 -f -", "keep w7"}));
}

TEST_F(KeepQuestionWindow, OptionIsOffByDefaultAndKeptPerUserNotInTheDataFile) {
    Start();
    ApplyOffice();
    EXPECT_EQ(services_.system.log, (Lines{"plain apply office"}));

    {
        ModalAnswers answers;
        answers.Then([](QWidget* w) {
            auto* options = qobject_cast<settings::TOptionForm*>(w);
            ASSERT_NE(options, nullptr);
            EXPECT_FALSE(options->cbAskKeep->isChecked());
            EXPECT_FALSE(options->seKeepSeconds->isEnabled());
            EXPECT_EQ(options->seKeepSeconds->value(), 15);
            options->cbAskKeep->setChecked(true);
            EXPECT_TRUE(options->seKeepSeconds->isEnabled());
            options->seKeepSeconds->setValue(500);  // beyond the range: the box holds 120
            options->accept();
        });
        form_->acOption->trigger();
        ASSERT_EQ(answers.Seen().size(), 1u);

        const std::string ini = ReadFile(tmp_ / kSettingsFileName);
        EXPECT_NE(ini.find("AskKeep=1"), std::string::npos) << ini;
        EXPECT_NE(ini.find("KeepSeconds=120"), std::string::npos) << ini;
        EXPECT_FALSE(ReadOption(form_->StoreTable2, "AskKeep"));
        EXPECT_FALSE(ReadOption(form_->StoreTable2, "KeepSeconds"));
    }

    // A damaged value falls back to the default rather than asking for 0 seconds.
    form_.reset();
    Start("[QuorvIPChage]\nAskKeep=1\nKeepSeconds=soon\n");
    ModalAnswers again;
    again.Then([](QWidget* w) {
        auto* options = qobject_cast<settings::TOptionForm*>(w);
        ASSERT_NE(options, nullptr);
        EXPECT_TRUE(options->cbAskKeep->isChecked());
        EXPECT_EQ(options->seKeepSeconds->value(), 15);
        options->reject();
    });
    form_->acOption->trigger();
    EXPECT_EQ(again.Seen().size(), 1u);
}

TEST_F(KeepQuestionWindow, AChangeLeftWaitingIsSettledByAskingBeforeTheNextApply) {
    services_.system.pending = {{"old1", "eth0", 30}};
    Start();
    ModalAnswers answers;
    answers.Then([](QWidget* w) {
        auto* question = qobject_cast<settings::TKeepSettingsForm*>(w);
        ASSERT_NE(question, nullptr);
        question->btnKeep->click();
    });
    ApplyOffice();
    EXPECT_EQ(services_.system.log, (Lines{"keep old1", "plain apply office"}));
    EXPECT_EQ(answers.Seen().size(), 1u);
}

}  // namespace
}  // namespace quorv::app
