// The shipped language files against the windows they translate.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QSet>
#include <functional>
#include <memory>

#include "TempFolder.h"
#include "TestHost.h"
#include "gui/dialogs/AboutForm.h"
#include "gui/dialogs/AddIPForm.h"
#include "gui/dialogs/IPDetailForm.h"
#include "gui/dialogs/IPMapForm.h"
#include "gui/dialogs/OptionForm.h"
#include "gui/dialogs/ReportForm.h"
#include "gui/dialogs/ResultForm.h"
#include "gui/frame/MessageTexts.h"
#include "gui/main/MainForm.h"
#include "gui/widgets/IPAddrEdit.h"
#include "gui/widgets/TQImage.h"
#include "system/IniFile.h"

namespace quorv::settings {
namespace {

struct WindowCase {
    const char* section;
    std::function<std::unique_ptr<QWidget>()> make;
    // Components whose texts are fixed: names, versions, addresses.
    QSet<QString> fixed;
};

std::vector<WindowCase> Windows() {
    // The advanced and address dialogs live inside the IP dialog that opens them; the
    // window checked is the one of the section's name.
    auto detail = [] {
        auto ipMap = std::make_unique<dialogs::TIPMapForm>(nullptr);
        auto* advanced = new dialogs::TIPDetailForm(ipMap.get());
        new dialogs::TAddIPForm(advanced->ListView1, advanced);
        return std::unique_ptr<QWidget>(std::move(ipMap));
    };
    return {
        {"IPMapForm", [] { return std::make_unique<dialogs::TIPMapForm>(nullptr); }, {}},
        {"IPDetailForm", detail, {}},
        {"AddIPForm", detail, {}},
        {"AboutForm",
         [] { return std::make_unique<widgets::TAboutForm>(); },
         {"Label1", "Label2", "QURLLabel2"}},
        {"ResultForm", [] { return std::make_unique<apply::TResultForm>(); }, {}},
        {"ReportForm", [] { return std::make_unique<apply::TReportForm>(nullptr); }, {}},
        {"OptionForm", [] { return std::make_unique<TOptionForm>(nullptr); }, {}},
    };
}

bool Named(const QObject* object) {
    return !object->objectName().isEmpty() && !object->objectName().startsWith("qt_");
}

// The window an object shows in: a dialog inside another window is a window of its own.
const QObject* OwnWindow(const QObject* object) {
    for (const QObject* o = object->parent(); o; o = o->parent()) {
        // A drop-down menu is a window to Qt, but its entries belong to the window it serves.
        if (o->isWidgetType() && static_cast<const QWidget*>(o)->isWindow() &&
            !qobject_cast<const QMenu*>(o)) {
            return o;
        }
    }
    return nullptr;
}

// Parts of a composite control (the dots of an address control) are not the window's.
bool InsideAddressControl(const QObject* object) {
    for (const QObject* o = object->parent(); o; o = o->parent()) {
        if (qobject_cast<const dialogs::TIPAddrEdit*>(o))
            return true;
    }
    return false;
}

// The components of a window that show a text of their own.
QSet<QString> TranslatableNames(QWidget* window) {
    QSet<QString> names;
    for (QObject* object : window->findChildren<QObject*>()) {
        if (!Named(object) || OwnWindow(object) != window || InsideAddressControl(object)) {
            continue;
        }
        bool hasText = false;
        if (auto* action = qobject_cast<QAction*>(object)) {
            // Menu entries show the texts of the actions they stand for, or their menu's.
            hasText = !action->text().isEmpty() && !action->isSeparator() &&
                      !qobject_cast<QMenu*>(action->parent());
        } else if (auto* menu = qobject_cast<QMenu*>(object)) {
            hasText = !menu->title().isEmpty();
        } else if (qobject_cast<widgets::TQImage*>(object)) {
            hasText = !static_cast<QWidget*>(object)->toolTip().isEmpty();
        } else if (auto* label = qobject_cast<QLabel*>(object)) {
            hasText = !label->text().isEmpty();
        } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
            hasText = !button->text().isEmpty();
        } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
            hasText = !group->title().isEmpty();
        }
        if (hasText)
            names.insert(object->objectName());
    }
    return names;
}

QWidget* Window(QWidget* root, const char* section) {
    return root->objectName() == section ? root : root->findChild<QWidget*>(section);
}

// The windows take the main window's texts and lists as they are made.
class LanguageFiles : public ::testing::Test {
  protected:
    quorv::testing::TestHost host;
};

platform::TIniFile Shipped(const char* name) {
    return platform::TIniFile::Load(QString(QUORV_SOURCE_DIR "/lang/") + name);
}

TEST_F(LanguageFiles, EveryKeyNamesAComponentOfItsWindow) {
    for (const char* file : {"Korea.dat", "English.dat"}) {
        const platform::TIniFile ini = Shipped(file);
        for (const WindowCase& window : Windows()) {
            ASSERT_TRUE(ini.HasSection(window.section)) << file << " " << window.section;
            std::unique_ptr<QWidget> root = window.make();
            QWidget* form = Window(root.get(), window.section);
            ASSERT_NE(form, nullptr) << window.section;
            for (const QString& key : ini.Keys(window.section)) {
                if (key == "Caption" || key == "FontName" || key == "FontSize")
                    continue;
                EXPECT_NE(form->findChild<QObject*>(key), nullptr)
                    << file << " [" << window.section << "] " << key.toStdString();
            }
        }
    }
}

TEST_F(LanguageFiles, EnglishCoversEveryText) {
    const platform::TIniFile english = Shipped("English.dat");
    for (const WindowCase& window : Windows()) {
        std::unique_ptr<QWidget> root = window.make();
        QWidget* form = Window(root.get(), window.section);
        ASSERT_NE(form, nullptr) << window.section;
        EXPECT_TRUE(english.Find(window.section, "Caption")) << window.section;
        for (const QString& name : TranslatableNames(form)) {
            if (window.fixed.contains(name))
                continue;
            EXPECT_TRUE(english.Find(window.section, name))
                << "[" << window.section << "] " << name.toStdString();
        }
    }
}

// The main window is the host itself, so it is checked on its own.
TEST(LanguageMainWindow, KeysNameItsComponentsAndEnglishCoversItsTexts) {
    quorv::testing::TempFolder folder;
    app::TMainForm form(folder / "QuorvIPChanger.dat");
    for (const char* file : {"Korea.dat", "English.dat"}) {
        const platform::TIniFile ini = Shipped(file);
        for (const QString& key : ini.Keys("MainForm")) {
            if (key == "Caption")
                continue;
            EXPECT_NE(form.findChild<QObject*>(key), nullptr)
                << file << " [MainForm] " << key.toStdString();
        }
    }
    const platform::TIniFile english = Shipped("English.dat");
    for (const QString& name : TranslatableNames(&form)) {
        EXPECT_TRUE(english.Find("MainForm", name)) << "[MainForm] " << name.toStdString();
    }
}

TEST(LanguageMessages, BothFilesHaveEveryMessage) {
    for (const char* file : {"Korea.dat", "English.dat"}) {
        const platform::TIniFile ini = Shipped(file);
        for (const MessageDefault& message : kMessageDefaults) {
            const auto text = ini.Find("Message", message.key);
            ASSERT_TRUE(text) << file << " " << message.key;
            EXPECT_FALSE(text->isEmpty()) << file << " " << message.key;
        }
    }
    // Korea.dat repeats the built-in texts.
    const platform::TIniFile korea = Shipped("Korea.dat");
    for (const MessageDefault& message : kMessageDefaults) {
        EXPECT_EQ(korea.Value("Message", message.key).replace("#13#10", "\r\n"),
                  QString::fromUtf8(message.text))
            << message.key;
    }
    // The IP dialog's add caption must never read as the edit-mode caption.
    for (const char* file : {"Korea.dat", "English.dat"}) {
        const platform::TIniFile ini = Shipped(file);
        EXPECT_NE(ini.Value("IPMapForm", "btnOK"), ini.Value("Message", "msgOK")) << file;
        EXPECT_NE(ini.Value("AddIPForm", "btnOK"), ini.Value("Message", "msgOK")) << file;
    }
}

}  // namespace
}  // namespace quorv::settings
