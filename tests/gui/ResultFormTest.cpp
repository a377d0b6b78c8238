#include "gui/dialogs/ResultForm.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <algorithm>
#include <chrono>

#include "QtEnvironment.h"
#include "TempFolder.h"

namespace quorv::apply {
namespace {

using quorv::testing::ScopedEnv;
using quorv::testing::TempFolder;
using Clock = std::chrono::steady_clock;

class ResultFormTest : public ::testing::Test {};

TEST_F(ResultFormTest, WindowAndComponents) {
    TResultForm form;
    EXPECT_EQ(form.objectName(), "ResultForm");
    EXPECT_EQ(form.windowTitle(), "IP 변경");
    EXPECT_EQ(form.size(), QSize(265, 64));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowMinMaxButtonsHint);

    auto* label = form.findChild<QLabel*>("Label1");
    ASSERT_EQ(label, form.Label1);
    EXPECT_EQ(label->text(), "준비 중...");
    EXPECT_EQ(label->width(), 194);
    auto* animation = form.findChild<TBusyAnimation*>("Animate1");
    ASSERT_EQ(animation, form.Animate1);
    EXPECT_EQ(animation->size(), QSize(16, 16));
    auto* timer = form.findChild<QTimer*>("Timer1");
    ASSERT_EQ(timer, form.Timer1);
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_FALSE(timer->isActive());
}

TEST_F(ResultFormTest, RunsOneSecondAfterActivationThenClosesItself) {
    TResultForm form;
    Clock::time_point shown{}, ran{};
    int runs = 0;
    bool animating = false;
    form.SetJob([&](const ProgressCallback& progress) {
        ran = Clock::now();
        ++runs;
        animating = form.Animate1->Active();
        progress("step");
        EXPECT_EQ(form.Label1->text(), "step");
        ApplyResult result;
        result.failures.push_back({});
        return result;
    });
    // Escape and the close request must not end the window before its run.
    QTimer::singleShot(200, &form, [&] {
        QTest::keyClick(&form, Qt::Key_Escape);
        form.close();
    });
    shown = Clock::now();
    form.exec();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(animating);
    EXPECT_TRUE(form.Finished());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.Result().failures.size(), 1u);
    const auto delay = ran - shown;
    EXPECT_GE(delay, std::chrono::milliseconds(950));
    EXPECT_LT(delay, std::chrono::milliseconds(1900));
}

TEST_F(ResultFormTest, WindowRepaintsButStaysOpenWhileACommandRuns) {
    TempFolder folder;
    folder.WriteProgram("netsh", "#!/bin/sh\nsleep 0.6\nexit 0\n");
    ScopedEnv display("DISPLAY", nullptr);
    SystemServices services(folder.path());
    Profile profile;
    profile.Interface = "eth0";
    profile.IP = "DHCP";
    profile.DNS1 = "1.1.1.1";

    TResultForm form;
    int framesAdvanced = 0;
    bool closeIgnored = false;
    form.SetJob([&](const ProgressCallback& progress) {
        const int before = form.Animate1->Frame();
        // Fires inside the wait for the first netsh: timers run there.
        QTimer::singleShot(300, &form, [&] {
            framesAdvanced = (form.Animate1->Frame() - before + TBusyAnimation::kFrames) %
                             TBusyAnimation::kFrames;
            form.close();
            closeIgnored = form.isVisible();
        });
        ApplyRun run(services, ProgressTexts{}, progress);
        return run.Run(profile, true);
    });
    form.exec();
    EXPECT_GE(framesAdvanced, 2);
    EXPECT_TRUE(closeIgnored);
    EXPECT_TRUE(form.Result().Succeeded());
    EXPECT_EQ(form.Label1->text(), "DNS 설정 중...");
}

// Answers the next message box, keeping its text; notes whether a progress window was
// still open when the box came up.
struct BoxWatcher {
    QString text;
    QString title;
    bool formStillOpen = false;

    void Arm() {
        QTimer::singleShot(50, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || box->objectName() != "ApplyFailureBox") {
                Arm();
                return;
            }
            text = box->text();
            title = box->windowTitle();
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (qobject_cast<TResultForm*>(w) != nullptr && w->isVisible()) {
                    formStillOpen = true;
                }
            }
            box->button(QMessageBox::Ok)->click();
        });
    }
};

class FakeServices : public ApplyServices {
  public:
    int exitCode = 0;
    QString captionDuringRun;
    // Says of every script line what netsh would.
    CommandOutcome RunAndWait(const NetshCommand& script, const OutputLine& onLine) override {
        if (auto* form = qobject_cast<TResultForm*>(QApplication::activeModalWidget())) {
            captionDuringRun = form->windowTitle();
        }
        int lines = int(std::count(script.input.begin(), script.input.end(), '\n'));
        for (int n = 1; n <= lines; ++n) {
            onLine("line " + std::to_string(n) + (exitCode == 0 ? ": ok" : ": failed: bad value"));
        }
        return {exitCode, "", ""};
    }
    bool WinExec(const std::string&, bool) override { return true; }
    bool SetDefaultPrinter(const std::string&) override { return true; }
};

TEST_F(ResultFormTest, FailuresAreListedAfterTheWindowHasClosed) {
    FakeServices services;
    services.exitCode = 1;
    Profile profile;
    profile.Interface = "Office LAN";
    profile.IP = "DHCP";
    BoxWatcher watcher;
    watcher.Arm();
    ApplyResult result =
        ApplyWithProgress(nullptr, "Office LAN", profile, true, services, ProgressTexts{});
    EXPECT_EQ(services.captionDuringRun, "IP 변경 - [Office LAN]");
    EXPECT_EQ(result.failures.size(), 2u);
    EXPECT_FALSE(watcher.formStillOpen);
    EXPECT_EQ(watcher.title, "Warning");
    // Both failed for one reason, said once after them.
    EXPECT_TRUE(watcher.text.contains(
        "netsh interface ip set address name=\"Office LAN\" source=DHCP\nnetsh interface ip set "
        "dns name=\"Office LAN\" source=DHCP\n\n    ended with exit code 1:\n    bad value"))
        << watcher.text.toStdString();
}

// The list is in the language's words, and a reason shared by every step is said once.
TEST_F(ResultFormTest, FailuresAreListedInTheLanguagesWords) {
    FakeServices services;
    services.exitCode = 1;
    Profile profile;
    profile.Interface = "LAN";
    profile.IP = "DHCP";
    ProgressTexts texts;
    texts.failures.msgApplyIncomplete = "프로필이 완전히 적용되지 않았습니다.";
    texts.failures.msgExitCode = "종료 코드 %1(으)로 끝났습니다";
    BoxWatcher watcher;
    watcher.Arm();
    ApplyWithProgress(nullptr, "LAN", profile, true, services, texts);
    EXPECT_EQ(watcher.text.toStdString(),
              "프로필이 완전히 적용되지 않았습니다.\n\nnetsh interface ip set address "
              "name=\"LAN\" source=DHCP\nnetsh interface ip set dns name=\"LAN\" source=DHCP\n\n"
              "    종료 코드 1(으)로 끝났습니다:\n    bad value\n");
}

TEST_F(ResultFormTest, NoBoxWithoutFailures) {
    FakeServices services;
    Profile profile;
    profile.IP = "DHCP";
    BoxWatcher watcher;
    watcher.Arm();
    ApplyResult result = ApplyWithProgress(nullptr, "x", profile, true, services);
    EXPECT_TRUE(result.Succeeded());
    // Give a wrongly shown box the chance to appear.
    QTest::qWait(200);
    EXPECT_TRUE(watcher.text.isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace quorv::apply
