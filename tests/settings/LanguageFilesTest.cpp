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

#include "QtEnvironment.h"
#include "apply/ResultForm.h"
#include "platform/IniFile.h"
#include "settings/MessageTexts.h"
#include "widgets/AboutForm.h"
#include "widgets/QImage.h"

namespace quorv::settings {
namespace {

struct WindowCase {
    const char* section;
    std::function<std::unique_ptr<QWidget>()> make;
    // Components whose texts are fixed: names, versions, addresses.
    QSet<QString> fixed;
};

std::vector<WindowCase> Windows() {
    return {
        {"AboutForm",
         [] { return std::make_unique<widgets::TAboutForm>(); },
         {"Label1", "Label2", "QURLLabel2"}},
        {"ResultForm", [] { return std::make_unique<apply::TResultForm>(); }, {}},
    };
}

bool Named(const QObject* object) {
    return !object->objectName().isEmpty() && !object->objectName().startsWith("qt_");
}

// The components of a window that show a text of their own.
QSet<QString> TranslatableNames(QWidget* window) {
    QSet<QString> names;
    for (QObject* object : window->findChildren<QObject*>()) {
        if (!Named(object))
            continue;
        bool hasText = false;
        if (auto* action = qobject_cast<QAction*>(object)) {
            hasText = !action->text().isEmpty() && !action->isSeparator();
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

platform::TIniFile Shipped(const char* name) {
    return platform::TIniFile::Load(QString(QUORV_SOURCE_DIR "/lang/") + name);
}

TEST(LanguageFiles, EveryKeyNamesAComponentOfItsWindow) {
    for (const char* file : {"Korea.dat", "English.dat"}) {
        const platform::TIniFile ini = Shipped(file);
        for (const WindowCase& window : Windows()) {
            ASSERT_TRUE(ini.HasSection(window.section)) << file << " " << window.section;
            std::unique_ptr<QWidget> form = window.make();
            EXPECT_EQ(form->objectName(), QString(window.section));
            for (const QString& key : ini.Keys(window.section)) {
                if (key == "Caption" || key == "FontName" || key == "FontSize")
                    continue;
                EXPECT_NE(form->findChild<QObject*>(key), nullptr)
                    << file << " [" << window.section << "] " << key.toStdString();
            }
        }
    }
}

TEST(LanguageFiles, EnglishCoversEveryText) {
    const platform::TIniFile english = Shipped("English.dat");
    for (const WindowCase& window : Windows()) {
        std::unique_ptr<QWidget> form = window.make();
        EXPECT_TRUE(english.Find(window.section, "Caption")) << window.section;
        for (const QString& name : TranslatableNames(form.get())) {
            if (window.fixed.contains(name))
                continue;
            EXPECT_TRUE(english.Find(window.section, name))
                << "[" << window.section << "] " << name.toStdString();
        }
    }
}

TEST(LanguageFiles, BothFilesHaveEveryMessage) {
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
