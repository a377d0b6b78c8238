#include "gui/dialogs/OptionForm.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTest>
#include <map>

#include "QtEnvironment.h"
#include "WindowTestHost.h"
#include "core/OptionRecord.h"
#include "store/StoreTable.h"

namespace quorv::settings {
namespace {

using quorv::testing::WhenModal;
using quorv::testing::WindowTestHost;
using Rows = std::map<std::string, std::string>;

Rows OptionRows(store::TStoreTable& options) {
    Rows rows;
    for (options.First(); !options.Eof(); options.Next()) {
        rows[options.FieldByName("Name").AsString()] = options.FieldByName("Value").AsString();
    }
    return rows;
}

void DeleteRow(store::TStoreTable& options, const std::string& key) {
    ASSERT_TRUE(app::ReadOption(options, key)) << key;
    options.Delete();
}

bool TextFits(const QLabel& label) {
    if (label.wordWrap()) {
        return label.heightForWidth(label.width()) <= label.height();
    }
    return label.sizeHint().width() <= label.width();
}

// Opens the command and lets `edit` work on the dialog before it is closed by `button`.
void RunCommand(const std::function<void(TOptionForm&)>& edit, const char* button) {
    WhenModal([=](QWidget* modal) {
        auto* form = qobject_cast<TOptionForm*>(modal);
        ASSERT_NE(form, nullptr);
        edit(*form);
        QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton);
    });
    acOptionExecute(nullptr);
}

class OptionFormTest : public ::testing::Test {
  protected:
    WindowTestHost host;
};

TEST_F(OptionFormTest, WindowAndComponentsAsDesigned) {
    TOptionForm form(nullptr);
    EXPECT_EQ(form.objectName(), "OptionForm");
    EXPECT_EQ(form.windowTitle(), "환경 설정");
    // Grown below the designed rows for the keep-or-restore option.
    EXPECT_EQ(form.size(), QSize(404, 217));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(host.translated, std::vector<QString>{"OptionForm"});

    ASSERT_EQ(form.findChild<QLabel*>("lblDClickAction"), form.lblDClickAction);
    EXPECT_EQ(form.lblDClickAction->text(), "항목에서 더블 클릭 했을때 ");

    ASSERT_EQ(form.findChild<QComboBox*>("cbDClick"), form.cbDClick);
    EXPECT_FALSE(form.cbDClick->isEditable());
    ASSERT_EQ(form.cbDClick->count(), 3);
    EXPECT_EQ(form.cbDClick->itemText(0), "IP 설정을 실행 합니다.");
    EXPECT_EQ(form.cbDClick->itemText(1), "항목 수정을 실행 합니다.");
    EXPECT_EQ(form.cbDClick->itemText(2), "항목 삭제를 실행 합니다.");
    EXPECT_EQ(form.cbDClick->currentIndex(), 0);

    ASSERT_EQ(form.findChild<QCheckBox*>("cbShowIPInfo"), form.cbShowIPInfo);
    EXPECT_EQ(form.cbShowIPInfo->text(), "IP 설정이 완료된 후에 IP 설정 정보 보여주기");
    EXPECT_FALSE(form.cbShowIPInfo->isChecked());
    ASSERT_EQ(form.findChild<QCheckBox*>("cbShowScript"), form.cbShowScript);
    EXPECT_EQ(form.cbShowScript->text(), "스크립트 명령 창 보여주기");
    EXPECT_TRUE(form.cbShowScript->isChecked());

    ASSERT_EQ(form.findChild<QCheckBox*>("cbAskKeep"), form.cbAskKeep);
    EXPECT_FALSE(form.cbAskKeep->isChecked());
    ASSERT_EQ(form.findChild<QSpinBox*>("seKeepSeconds"), form.seKeepSeconds);
    EXPECT_EQ(form.seKeepSeconds->value(), 15);
    EXPECT_EQ(form.seKeepSeconds->minimum(), 5);
    EXPECT_EQ(form.seKeepSeconds->maximum(), 120);
    EXPECT_FALSE(form.seKeepSeconds->isEnabled());

    ASSERT_EQ(form.findChild<QPushButton*>("btnOK"), form.btnOK);
    EXPECT_EQ(form.btnOK->text(), "확인");
    ASSERT_EQ(form.findChild<QPushButton*>("btnCancel"), form.btnCancel);
    EXPECT_EQ(form.btnCancel->text(), "취소");

    // Every control lies inside the client area.
    for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(form.rect().contains(child->geometry())) << child->objectName().toStdString();
    }
}

TEST_F(OptionFormTest, ALanguagesLongerLabelWrapsBesideTheList) {
    TOptionForm form(nullptr);
    form.show();
    EXPECT_EQ(form.lblDClickAction->geometry(), QRect(24, 24, 161, 17));
    EXPECT_TRUE(TextFits(*form.lblDClickAction));
    form.hide();

    form.lblDClickAction->setText("When a profile is double-clicked:");
    form.show();
    const QRect label = form.lblDClickAction->geometry();
    EXPECT_EQ(label.left(), 24);
    EXPECT_LT(label.right(), form.cbDClick->geometry().left());
    EXPECT_LT(label.bottom(), form.cbShowIPInfo->geometry().top());
    EXPECT_TRUE(TextFits(*form.lblDClickAction));
}

TEST_F(OptionFormTest, EachControlRoundTripsThroughTheRows) {
    RunCommand(
        [](TOptionForm& form) {
            // The defaults are what the dialog shows first.
            EXPECT_EQ(form.cbDClick->currentIndex(), 0);
            EXPECT_FALSE(form.cbShowIPInfo->isChecked());
            EXPECT_TRUE(form.cbShowScript->isChecked());
            form.cbDClick->setCurrentIndex(2);
            // On the box itself: the control is wider than its text.
            QTest::mouseClick(form.cbShowIPInfo, Qt::LeftButton, {}, QPoint(8, 10));
            QTest::mouseClick(form.cbShowScript, Qt::LeftButton, {}, QPoint(8, 10));
        },
        "btnOK");
    EXPECT_EQ(OptionRows(host.OptionTable()),
              (Rows{{"DblClickAction", "2"}, {"AfterIPInfo", "1"}, {"ShowScriptWindow", "0"}}));

    // Reopened, the dialog shows what was stored; confirming unchanged rewrites the same.
    RunCommand(
        [](TOptionForm& form) {
            EXPECT_EQ(form.cbDClick->currentIndex(), 2);
            EXPECT_TRUE(form.cbShowIPInfo->isChecked());
            EXPECT_FALSE(form.cbShowScript->isChecked());
        },
        "btnOK");
    EXPECT_EQ(OptionRows(host.OptionTable()),
              (Rows{{"DblClickAction", "2"}, {"AfterIPInfo", "1"}, {"ShowScriptWindow", "0"}}));
    EXPECT_EQ(host.OptionTable().RecordCount(), 3);

    RunCommand([](TOptionForm& form) { form.cbDClick->setCurrentIndex(1); }, "btnOK");
    EXPECT_EQ(OptionRows(host.OptionTable())["DblClickAction"], "1");
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(OptionFormTest, CancelAndTheCloseBoxChangeNoRow) {
    app::WriteOption(host.OptionTable(), "AfterIPInfo", "1");
    const Rows before = OptionRows(host.OptionTable());
    RunCommand(
        [](TOptionForm& form) {
            form.cbDClick->setCurrentIndex(1);
            form.cbShowIPInfo->setChecked(false);
            form.cbShowScript->setChecked(false);
        },
        "btnCancel");
    EXPECT_EQ(OptionRows(host.OptionTable()), before);

    WhenModal([](QWidget* modal) {
        static_cast<TOptionForm*>(modal)->cbShowScript->setChecked(false);
        modal->close();
    });
    acOptionExecute(nullptr);
    EXPECT_EQ(OptionRows(host.OptionTable()), before);
}

TEST_F(OptionFormTest, MissingRowsShowTheDesignAndStoreTheUsersChoice) {
    DeleteRow(host.OptionTable(), "DblClickAction");
    DeleteRow(host.OptionTable(), "AfterIPInfo");
    DeleteRow(host.OptionTable(), "ShowScriptWindow");
    RunCommand(
        [](TOptionForm& form) {
            EXPECT_EQ(form.cbDClick->currentIndex(), 0);
            EXPECT_FALSE(form.cbShowIPInfo->isChecked());
            EXPECT_TRUE(form.cbShowScript->isChecked());
            form.cbDClick->setCurrentIndex(1);
            form.cbShowIPInfo->setChecked(true);
            form.cbShowScript->setChecked(false);
        },
        "btnOK");
    EXPECT_EQ(OptionRows(host.OptionTable()),
              (Rows{{"DblClickAction", "1"}, {"AfterIPInfo", "1"}, {"ShowScriptWindow", "0"}}));
    EXPECT_EQ(host.OptionTable().RecordCount(), 3);
}

TEST_F(OptionFormTest, BadDoubleClickValueIsReportedThenRepairable) {
    app::WriteOption(host.OptionTable(), "DblClickAction", "abc");
    app::WriteOption(host.OptionTable(), "AfterIPInfo", "1");
    bool dialogOpenAtError = true;
    host.onError = [&] { dialogOpenAtError = QApplication::activeModalWidget() != nullptr; };
    RunCommand(
        [](TOptionForm& form) {
            EXPECT_EQ(form.cbDClick->currentIndex(), 0);
            // The other options were still read.
            EXPECT_TRUE(form.cbShowIPInfo->isChecked());
        },
        "btnOK");
    EXPECT_EQ(host.errors, std::vector<std::string>{"'abc' is not a valid integer value"});
    EXPECT_FALSE(dialogOpenAtError);
    EXPECT_EQ(OptionRows(host.OptionTable())["DblClickAction"], "0");

    // A number that names no item selects none and, left so, keeps its row.
    host.errors.clear();
    app::WriteOption(host.OptionTable(), "DblClickAction", "7");
    RunCommand(
        [](TOptionForm& form) {
            EXPECT_EQ(form.cbDClick->currentIndex(), -1);
            form.cbShowScript->setChecked(false);
        },
        "btnOK");
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(OptionRows(host.OptionTable()),
              (Rows{{"DblClickAction", "7"}, {"AfterIPInfo", "1"}, {"ShowScriptWindow", "0"}}));
}

TEST_F(OptionFormTest, ConversionErrorInTheStandardBoxBeforeTheDialog) {
    app::WriteOption(host.OptionTable(), "DblClickAction", "1.5");
    host.defaultErrorBox = true;
    QString boxText;
    bool dialogShown = false;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->objectName(), "ErrorBox");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        boxText = box->text();
        box->accept();
        WhenModal([&](QWidget* next) {
            auto* form = qobject_cast<TOptionForm*>(next);
            ASSERT_NE(form, nullptr);
            dialogShown = true;
            form->btnCancel->click();
        });
    });
    acOptionExecute(nullptr);
    EXPECT_EQ(boxText, "'1.5' is not a valid integer value");
    EXPECT_TRUE(dialogShown);
    EXPECT_EQ(*app::ReadOption(host.OptionTable(), "DblClickAction"), "1.5");
}

TEST_F(OptionFormTest, BooleanRowsAreTrueOnlyForOne) {
    app::WriteOption(host.OptionTable(), "AfterIPInfo", "true");
    app::WriteOption(host.OptionTable(), "ShowScriptWindow", "01");
    TOptionForm form(nullptr);
    LoadOptions(form, host.OptionTable());
    EXPECT_FALSE(form.cbShowIPInfo->isChecked());
    EXPECT_FALSE(form.cbShowScript->isChecked());
}

}  // namespace
}  // namespace quorv::settings
