#include "gui/dialogs/ReportForm.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <thread>

#include "QtEnvironment.h"
#include "WindowTestHost.h"

namespace quorv::apply {
namespace {

using quorv::testing::ReadFile;
using quorv::testing::ScopedEnv;
using quorv::testing::TempFolder;
using quorv::testing::WhenModal;
using quorv::testing::WindowTestHost;
using Clock = std::chrono::steady_clock;

const QString kHeader = QStringLiteral("[모든 네트워크 어뎁터에 설정된 IP 정보]\n");

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class ReportFormTest : public ::testing::Test {
  protected:
    // Opens the report over the stand-in folder, closes it with OK once the capture is
    // over, and gives back what it showed.
    QString Report() {
        TReportForm form(nullptr);
        form.SetProgramFolder(folder.path());
        WhenCaptured(form, [&] { QTest::mouseClick(form.btnOK, Qt::LeftButton); });
        EXPECT_EQ(form.exec(), QDialog::Accepted);
        return form.Memo1->toPlainText();
    }

    static void WhenCaptured(TReportForm& form, std::function<void()> act) {
        auto* poll = new QTimer(&form);
        QObject::connect(poll, &QTimer::timeout, [poll, &form, act = std::move(act)] {
            if (form.Captured()) {
                poll->stop();
                act();
            }
        });
        poll->start(10);
    }

    WindowTestHost host;
    TempFolder folder;
};

TEST_F(ReportFormTest, WindowAndComponentsAsDesigned) {
    TReportForm form(nullptr);
    EXPECT_EQ(form.objectName(), "ReportForm");
    EXPECT_EQ(form.windowTitle(), "IP 설정 정보");
    EXPECT_EQ(form.size(), QSize(628, 496));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(host.translated, std::vector<QString>{"ReportForm"});

    ASSERT_EQ(form.findChild<QPlainTextEdit*>("Memo1"), form.Memo1);
    EXPECT_EQ(form.Memo1->geometry(), QRect(8, 8, 609, 449));
    EXPECT_TRUE(form.Memo1->isReadOnly());
    EXPECT_EQ(form.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(form.Memo1->toPlainText(), kHeader);
    EXPECT_EQ(form.Memo1->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(form.Memo1->palette().color(QPalette::Text), QColor(0xC0, 0xC0, 0xC0));
    // The console font: 13 pixels, Latin letters of one width, with Hangul.
    const QFontInfo font(form.Memo1->font());
    EXPECT_EQ(font.pixelSize(), 13);
    const QFontMetrics metrics(form.Memo1->font());
    EXPECT_TRUE(metrics.inFont(QChar(0xAC00)));
    EXPECT_EQ(metrics.horizontalAdvance("iiii"), metrics.horizontalAdvance("WWWW"));

    ASSERT_EQ(form.findChild<QPushButton*>("btnOK"), form.btnOK);
    EXPECT_EQ(form.btnOK->text(), "확인");
    for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(form.rect().contains(child->geometry())) << child->objectName().toStdString();
    }
}

TEST_F(ReportFormTest, ShowsTheOutputOfTheProgramFoldersIpconfigWithAllOnly) {
    folder.WriteProgram("ipconfig",
                        "#!/bin/sh\n"
                        "printf '%s\\n' \"$#\" \"$@\" > \"$(dirname \"$0\")/args\"\n"
                        "printf '\\nWindows IP 구성\\n\\n   호스트 이름 . . . : quorv\\n'\n"
                        "echo 'not for the report' >&2\n");
    EXPECT_EQ(Report(), kHeader + "\nWindows IP 구성\n\n   호스트 이름 . . . : quorv\n");
    EXPECT_EQ(ReadFile(folder / "args"), "1\n/all\n");
}

TEST_F(ReportFormTest, WithoutIpconfigOnlyTheHeaderShows) {
    // No ipconfig of the machine's own may stand in for the missing one.
    TempFolder emptyPath;
    ScopedEnv path{"PATH", emptyPath.path().c_str()};
    EXPECT_EQ(Report(), kHeader);
}

TEST_F(ReportFormTest, TextStopsAtNulAndInvalidBytesShowAsReplacement) {
    folder.WriteProgram("ipconfig", "#!/bin/sh\nprintf 'before\\000after\\n'\n");
    EXPECT_EQ(Report(), kHeader + "before");
    folder.WriteProgram("ipconfig", "#!/bin/sh\nprintf 'IP\\377\\300 주소\\n'\n");
    EXPECT_EQ(Report(), kHeader + QString::fromUtf8("IP\uFFFD\uFFFD 주소\n"));
}

TEST_F(ReportFormTest, OkAndCloseDuringTheCaptureTakeEffectWhenItEnds) {
    folder.WriteProgram("ipconfig", "#!/bin/sh\necho first\nsleep 1\necho second\n");
    for (const bool useOk : {true, false}) {
        TReportForm form(nullptr);
        form.SetProgramFolder(folder.path());
        bool visibleAfterRequest = false;
        int ticks = 0;
        QTimer clock;
        QObject::connect(&clock, &QTimer::timeout, [&] { ++ticks; });
        clock.start(20);
        auto* poll = new QTimer(&form);
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            if (!form.Capturing()) {
                return;
            }
            poll->stop();
            if (useOk) {
                QTest::mouseClick(form.btnOK, Qt::LeftButton);
            } else {
                form.close();
            }
            visibleAfterRequest = form.isVisible();
        });
        poll->start(10);
        const auto start = Clock::now();
        const int result = form.exec();
        EXPECT_GE(SecondsSince(start), 0.9);
        EXPECT_EQ(result, useOk ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_TRUE(visibleAfterRequest);
        EXPECT_EQ(form.Memo1->toPlainText(), kHeader + "first\nsecond\n");
        // Events were handled in every pass of the capture.
        EXPECT_GE(ticks, 8);
    }
}

// Takes the full fifteen seconds of the capture.
TEST_F(ReportFormTest, SlowHangingCommandGivesItsTextSoFarAfterAboutFifteenSeconds) {
    folder.WriteProgram("ipconfig",
                        "#!/bin/sh\necho \"$$\" > \"$(dirname \"$0\")/pid\"\n"
                        "echo 'so far'\nexec sleep 60\n");
    const auto start = Clock::now();
    EXPECT_EQ(Report(), kHeader + "so far\n");
    const double seconds = SecondsSince(start);
    EXPECT_GT(seconds, 14.5);
    EXPECT_LT(seconds, 17.5);

    const pid_t pid = std::stoi(ReadFile(folder / "pid"));
    const std::string proc = "/proc/" + std::to_string(pid);
    ASSERT_TRUE(std::filesystem::exists(proc)) << "the command was stopped";
    // Ended early here; the report must still collect it.
    ::kill(pid, SIGTERM);
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (std::filesystem::exists(proc) && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(std::filesystem::exists(proc)) << "left as a zombie";
}

}  // namespace
}  // namespace quorv::apply
