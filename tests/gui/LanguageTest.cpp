#include "gui/frame/Language.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <fstream>

#include "QtEnvironment.h"
#include "TempFolder.h"
#include "gui/frame/LanguageOps.h"
#include "gui/frame/MessageTexts.h"
#include "gui/widgets/TQImage.h"

namespace quorv::settings {
namespace {

using quorv::testing::ScopedEnv;
using quorv::testing::TempFolder;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

// A window with one component of every kind a language file can address.
struct SampleForm {
    SampleForm() {
        form.setObjectName("MainForm");
        form.setWindowTitle("before");
        action = new QAction("old", &form);
        action->setObjectName("acInsert");
        menu = new QMenu("old", &form);
        menu->setObjectName("mnFile");
        combo = new QComboBox(&form);
        combo->setObjectName("cbDClick");
        combo->addItems({"a", "b", "c"});
        label = new QLabel("old", &form);
        label->setObjectName("lblName");
        image = new widgets::TQImage(&form);
        image->setObjectName("Image1");
        button = new QPushButton("old", &form);
        button->setObjectName("btnOK");
        group = new QGroupBox("old", &form);
        group->setObjectName("GroupBox1");
        edit = new QLineEdit("typed", &form);
        edit->setObjectName("edtHost");
        editLabel = new QLabel("old", &form);
        editLabel->setObjectName("lblHost");
        editLabel->setBuddy(edit);
        memo = new QPlainTextEdit("old\n", &form);
        memo->setObjectName("Memo1");
        internal = new QLabel("internal", &form);
        internal->setObjectName("qt_helper");
    }
    QWidget form;
    QAction* action;
    QMenu* menu;
    QComboBox* combo;
    QLabel* label;
    widgets::TQImage* image;
    QPushButton* button;
    QGroupBox* group;
    QLineEdit* edit;
    QLabel* editLabel;
    QPlainTextEdit* memo;
    QLabel* internal;
};

TEST(Language, FileNameStaysInTheLanguageFolder) {
    TQLanguage language("/opt/q/Language");
    EXPECT_EQ(language.FileName(), QString());
    language.SetFileName("English.dat");
    EXPECT_EQ(language.FileName(), QString("/opt/q/Language/English.dat"));
    language.SetFileName("C:\\x\\English.dat");
    EXPECT_EQ(language.FileName(), QString("/opt/q/Language/English.dat"));
    language.SetFileName("/etc/../Korea.dat");
    EXPECT_EQ(language.FileName(), QString("/opt/q/Language/Korea.dat"));
    language.SetFileName("");
    EXPECT_EQ(language.FileName(), QString());
}

TEST(Language, CaptionHintAndLineBreaks) {
    EXPECT_EQ(SplitCaptionHint("Add|Add a profile").Caption, QString("Add"));
    EXPECT_EQ(SplitCaptionHint("Add|Add a profile").Hint, QString("Add a profile"));
    EXPECT_EQ(SplitCaptionHint("&Open...").Caption, QString("&Open..."));
    EXPECT_EQ(SplitCaptionHint("&Open...").Hint, QString("Open..."));
    EXPECT_EQ(SplitCaptionHint("a|b|&c").Hint, QString("b|c"));
    EXPECT_EQ(SplitCaptionHint("Donate|").Hint, QString());
    EXPECT_EQ(ExpandLineBreaks("one#13#10two#13#10"), QString("one\r\ntwo\r\n"));
}

TEST(Language, TranslatesEachKindOfComponent) {
    TempFolder folder;
    WriteText(folder / "English.dat",
              "[MainForm]\n"
              "Caption=Main\n"
              "FontSize=abc\n"  // not a number: ignored, the rest still applies
              "FontName=NanumGothic\n"
              "acInsert=Add|Add a profile\n"
              "mnFile=&File|ignored hint\n"
              "cbDClick=one#13#10two#13#10three\n"
              "lblName=Name && more\n"
              "Image1=Picture hint|other\n"
              "btnOK=&Open...\n"
              "GroupBox1=Group\n"
              "edtHost=Host:|The host name\n"
              "Memo1=[Header]#13#10\n"
              "qt_helper=never\n"
              "NoSuchControl=x\n"
              "[Other]\n"
              "btnOK=wrong section\n");
    SampleForm f;
    const int size = f.form.font().pointSize();
    TQLanguage language(QString::fromStdString(folder.path()));
    language.SetFileName("English.dat");
    language.TranslateForm(&f.form);

    EXPECT_EQ(f.form.windowTitle(), QString("Main"));
    EXPECT_EQ(f.form.font().family(), QString("NanumGothic"));
    EXPECT_EQ(f.form.font().pointSize(), size);
    EXPECT_EQ(f.action->text(), QString("Add"));
    EXPECT_EQ(f.action->toolTip(), QString("Add a profile"));
    EXPECT_EQ(f.menu->title(), QString("&File"));
    EXPECT_EQ(f.combo->count(), 3);
    EXPECT_EQ(f.combo->itemText(2), QString("three"));
    EXPECT_EQ(f.label->text(), QString("Name && more"));
    EXPECT_EQ(f.label->toolTip(), QString("Name  more"));
    EXPECT_EQ(f.image->toolTip(), QString("Picture hint"));
    EXPECT_EQ(f.button->text(), QString("&Open..."));
    EXPECT_EQ(f.button->toolTip(), QString("Open..."));
    EXPECT_EQ(f.group->title(), QString("Group"));
    EXPECT_EQ(f.editLabel->text(), QString("Host:"));
    EXPECT_EQ(f.edit->toolTip(), QString("The host name"));
    EXPECT_EQ(f.edit->text(), QString("typed"));
    EXPECT_EQ(f.memo->toPlainText(), QString("[Header]\n"));
    EXPECT_EQ(f.internal->text(), QString("internal"));

    // An empty caption changes nothing.
    WriteText(folder / "English.dat", "[MainForm]\nCaption=\nacInsert=\nacInsert2=|hint\n");
    language.TranslateForm(&f.form);
    EXPECT_EQ(f.form.windowTitle(), QString("Main"));
    EXPECT_EQ(f.action->text(), QString("Add"));
}

TEST(Language, MissingFileChangesNothing) {
    TempFolder folder;
    SampleForm f;
    TQLanguage language(QString::fromStdString(folder / "Language"));
    language.SetFileName("English.dat");
    language.TranslateForm(&f.form);
    EXPECT_EQ(f.action->text(), QString("old"));
    EXPECT_EQ(language.ReadMessage("msgOK"), QString());

    TMessageTexts texts;
    texts.SetText("msgOK", "stale");
    LoadMessageTexts(language, texts);
    EXPECT_EQ(texts.Text("msgOK"), QString("확인"));
    EXPECT_EQ(texts.Text("msgAlreadyExists"),
              QString("동일한 이름이 존재합니다!\r\n다른 이름을 지정해 주세요!"));
}

TEST(Language, MessagesFromTheFileWithDefaultsForTheRest) {
    TempFolder folder;
    WriteText(folder / "English.dat",
              "[Message]\nmsgOK=OK\nmsgDeleteSure=Delete it?#13#10Really?\nmsgName=\n");
    TQLanguage language(QString::fromStdString(folder.path()));
    language.SetFileName("English.dat");
    TMessageTexts texts;
    LoadMessageTexts(language, texts);
    EXPECT_EQ(texts.Text("msgOK"), QString("OK"));
    EXPECT_EQ(texts.Text("msgDeleteSure"), QString("Delete it?\r\nReally?"));
    EXPECT_EQ(texts.Text("msgName"), QString("이름"));
}

// A file saved as "Unicode" is read; one that is no text translates nothing, so the
// built-in Korean texts stay, and the problem is told once, never thrown.
TEST(Language, Utf16IsReadAndADamagedFileFallsBackOnce) {
    TempFolder folder;
    const std::u16string text =
        u"\uFEFF[MainForm]\r\nacInsert=&New...\r\n[Message]\r\nmsgOK=OK\r\n";
    WriteText(folder / "English.dat",
              std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
    TQLanguage language(QString::fromStdString(folder.path()));
    language.SetFileName("English.dat");
    EXPECT_EQ(language.ReadMessage("msgOK"), QString("OK"));
    EXPECT_TRUE(language.TakeProblem().isEmpty());

    WriteText(folder / "Korea.dat", std::string("[Message]\nmsgOK=\0x\n", 20));
    language.SetFileName("Korea.dat");
    SampleForm f;
    EXPECT_NO_THROW(language.TranslateForm(&f.form));
    EXPECT_EQ(f.action->text(), QString("old"));
    TMessageTexts texts;
    LoadMessageTexts(language, texts);
    EXPECT_EQ(texts.Text("msgOK"), QString("확인"));
    EXPECT_NE(language.TakeProblem().indexOf("it is not a text file"), -1);
    language.TranslateForm(&f.form);
    EXPECT_TRUE(language.TakeProblem().isEmpty());
}

TEST(Language, SystemLanguageFromTheLocale) {
    ScopedEnv all("LC_ALL", "");
    ScopedEnv messages("LC_MESSAGES", "ko_KR.UTF-8");
    ScopedEnv lang("LANG", "en_US.UTF-8");
    EXPECT_EQ(SystemLanguage(), QString("Korea"));
    {
        ScopedEnv over("LC_ALL", "C.UTF-8");
        EXPECT_EQ(SystemLanguage(), QString("English"));
    }
    ScopedEnv none("LC_MESSAGES", nullptr);
    EXPECT_EQ(SystemLanguage(), QString("English"));
    ScopedEnv korean("LANG", "ko_KR.eucKR");
    EXPECT_EQ(SystemLanguage(), QString("Korea"));
}

TEST(Language, StartUpAndTheLanguageCommand) {
    TempFolder folder;
    WriteText(folder / "English.dat", "[MainForm]\nacInsert=Add\n[Message]\nmsgOK=OK\n");
    WriteText(folder / "Korea.dat", "[MainForm]\nacInsert=추가\n[Message]\nmsgOK=확인\n");
    TQLanguage language(QString::fromStdString(folder.path()));
    TMessageTexts texts;
    SampleForm f;

    // Korean at start: the file is pointed at, the built-in texts stay.
    QString value = "Korea";
    StartLanguage(value, language, &f.form, texts);
    EXPECT_EQ(language.FileName(), QString::fromStdString(folder / "Korea.dat"));
    EXPECT_EQ(f.action->text(), QString("old"));

    // Unset on an English system: settled to English and applied.
    {
        ScopedEnv all("LC_ALL", "en_GB.UTF-8");
        value = "";
        StartLanguage(value, language, &f.form, texts);
    }
    EXPECT_EQ(value, QString("English"));
    EXPECT_EQ(f.action->text(), QString("Add"));
    EXPECT_EQ(texts.Text("msgOK"), QString("OK"));

    SwitchLanguage(value, true, language, &f.form, texts);
    EXPECT_EQ(value, QString("Korea"));
    EXPECT_EQ(f.action->text(), QString("추가"));
    EXPECT_EQ(texts.Text("msgOK"), QString("확인"));
}

}  // namespace
}  // namespace quorv::settings
