#include "gui/dialogs/KeepSettingsForm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "QtEnvironment.h"
#include "TestHost.h"
#include "gui/frame/Language.h"
#include "gui/frame/LanguageOps.h"

namespace quorv::settings {
namespace {

using platform::ReachResult;
using platform::ReachTarget;
using Answer = TKeepSettingsForm::Answer;

std::vector<ReachResult> Checks() {
    return {{{ReachTarget::Kind::Gateway, "10.0.0.1"}, true},
            {{ReachTarget::Kind::Gateway, "10.0.0.2"}, false},
            {{ReachTarget::Kind::Dns, "10.0.0.53"}, true},
            {{ReachTarget::Kind::Dns, "10.0.0.54"}, false}};
}

// Shown as the wiring shows it, and active, so keys reach it.
void ShowActive(QWidget& form) {
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
}

TEST(KeepSettingsForm, CountsDownOnceASecondAndTimesOutToRestore) {
    TKeepSettingsForm form(nullptr, Checks(), 2, false);
    EXPECT_EQ(form.windowModality(), Qt::WindowModal);
    EXPECT_EQ(form.lblCountdown->text(), "2초 후에 이전 설정으로 되돌아갑니다.");
    EXPECT_FALSE(form.tmrCountdown->isActive()) << "the time runs from the first show";
    ShowActive(form);
    QTest::qWait(1200);
    EXPECT_EQ(form.SecondsLeft(), 1);
    EXPECT_EQ(form.lblCountdown->text(), "1초 후에 이전 설정으로 되돌아갑니다.");
    EXPECT_TRUE(form.isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 2000));
    EXPECT_EQ(form.Result(), Answer::TimedOut);
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(form.SecondsLeft(), 0);
    EXPECT_FALSE(form.tmrCountdown->isActive());
}

TEST(KeepSettingsForm, KeepsItsSizeWhileTheDigitsGetFewer) {
    // One short line: the countdown is the widest text.
    TKeepSettingsForm form(nullptr, {Checks()[2]}, 10, false);
    ShowActive(form);
    const QSize at10 = form.size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.SecondsLeft() == 9; }, 1500));
    QTest::qWait(50);
    EXPECT_EQ(form.size(), at10);
    // Every text fits: nothing is cut at the window's edge.
    for (QLabel* label :
         {form.lblKeepText, form.lblChecks, form.lblCountdown, form.lblScriptNote}) {
        if (label->isVisible()) {
            EXPECT_LE(label->sizeHint().width(), label->width())
                << label->objectName().toStdString();
        }
    }
}

TEST(KeepSettingsForm, OnlyKeepKeepsEnterEscapeAndCloseRestore) {
    {
        TKeepSettingsForm form(nullptr, Checks(), 30, false);
        ShowActive(form);
        EXPECT_EQ(QApplication::focusWidget(), form.btnRestore);
        EXPECT_TRUE(form.btnRestore->isDefault());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.Result(), Answer::Restore);
        EXPECT_EQ(form.result(), QDialog::Rejected);
        EXPECT_FALSE(form.tmrCountdown->isActive());
    }
    {
        TKeepSettingsForm form(nullptr, Checks(), 30, false);
        ShowActive(form);
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.Result(), Answer::Restore);
    }
    {
        TKeepSettingsForm form(nullptr, Checks(), 30, false);
        ShowActive(form);
        form.close();
        EXPECT_EQ(form.Result(), Answer::Restore);
    }
    {
        TKeepSettingsForm form(nullptr, Checks(), 30, false);
        ShowActive(form);
        QTest::mouseClick(form.btnKeep, Qt::LeftButton);
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.Result(), Answer::Keep);
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_FALSE(form.tmrCountdown->isActive());
    }
}

TEST(KeepSettingsForm, ShowsWhatTheCheckFoundAndTheScriptNoteOnlyWithScriptLines) {
    TKeepSettingsForm plain(nullptr, Checks(), 30, false);
    EXPECT_EQ(plain.windowTitle(), "이 설정을 유지하시겠습니까?");
    EXPECT_EQ(plain.lblKeepText->text(), "이 설정을 유지하시겠습니까?");
    EXPECT_EQ(plain.lblChecks->text(),
              "게이트웨이 10.0.0.1: 응답함\n게이트웨이 10.0.0.2: 응답 없음\n"
              "DNS 10.0.0.53: 응답함\nDNS 10.0.0.54: 응답 없음");
    EXPECT_EQ(plain.btnKeep->text(), "유지(&K)");
    EXPECT_EQ(plain.btnRestore->text(), "지금 되돌리기(&R)");
    EXPECT_FALSE(plain.lblScriptNote->isVisibleTo(&plain));

    TKeepSettingsForm script(nullptr, {}, 30, true);
    EXPECT_TRUE(script.lblScriptNote->isVisibleTo(&script));
    EXPECT_EQ(script.lblScriptNote->text(), "프로필의 스크립트 명령은 되돌려지지 않습니다.");
    EXPECT_FALSE(script.lblChecks->isVisibleTo(&script)) << "no targets, no empty line";
    EXPECT_EQ(script.SecondsLeft(), 30);

    TKeepSettingsForm none(nullptr, {}, 0, false);
    EXPECT_EQ(none.SecondsLeft(), 1) << "never answered before it was seen";
}

TEST(KeepSettingsForm, TakesTheEnglishTextsOfTheLanguageFile) {
    testing::TestHost host;
    TQLanguage language(QStringLiteral(QUORV_SOURCE_DIR "/lang"));
    language.SetFileName(QStringLiteral("English.dat"));
    LoadMessageTexts(language, host.texts);
    TKeepSettingsForm form(nullptr, Checks(), 15, true);
    EXPECT_EQ(form.windowTitle(), "Keep these settings?");
    EXPECT_EQ(form.lblKeepText->text(), "Keep these settings?");
    EXPECT_EQ(form.lblChecks->text(),
              "Gateway 10.0.0.1 answers\nGateway 10.0.0.2 does not answer\n"
              "DNS 10.0.0.53 answers\nDNS 10.0.0.54 does not answer");
    EXPECT_EQ(form.lblCountdown->text(), "The previous settings come back in 15 s.");
    EXPECT_EQ(form.lblScriptNote->text(), "Script lines of the profile are not undone.");
    EXPECT_EQ(form.btnKeep->text(), "&Keep");
    EXPECT_EQ(form.btnRestore->text(), "&Restore now");
    EXPECT_EQ(host.texts.Text("msgRestored"), "The previous settings of %1 were restored: %2.");
    EXPECT_EQ(host.texts.Text("msgRestoreFailed"),
              "The previous settings of %1 could not be restored: %2");
}

TEST(KeepSettingsForm, ComesUpOverItsOwner) {
    QWidget owner;
    owner.setObjectName("owner");
    owner.setGeometry(200, 150, 700, 500);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    TKeepSettingsForm form(&owner, Checks(), 30, false);
    ShowActive(form);
    const QPoint offset = form.frameGeometry().center() - owner.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();
}

}  // namespace
}  // namespace quorv::settings
