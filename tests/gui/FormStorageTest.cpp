#include "gui/frame/FormStorage.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <filesystem>
#include <fstream>

#include "QtEnvironment.h"
#include "TempFolder.h"
#include "system/IniFile.h"

namespace quorv::settings {
namespace {

using quorv::testing::ReadFile;
using quorv::testing::ScopedEnv;
using quorv::testing::TempFolder;

class FormStorageTest : public ::testing::Test {
  protected:
    TempFolder folder;
    ScopedEnv config{"XDG_CONFIG_HOME", (folder / "config").c_str()};
    std::string iniPath = folder / "QuorvIPChanger.ini";
    std::string confPath = folder / "config/QuorvIPChage.conf";

    QString Suffixed(const char* name) { return QString(name) + ScreenSizeSuffix(); }
};

TEST_F(FormStorageTest, FirstCloseStoresEveryValueAndTheNextStartRestoresThem) {
    {
        TFormStorage storage(ChoosePlacementStorage(QString::fromStdString(iniPath)));
        QWidget window;
        EXPECT_FALSE(storage.Restore(&window));  // nothing stored yet
        EXPECT_EQ(storage.Language, QString());
        window.move(10, 20);
        window.resize(500, 300);
        storage.Language = "English";
        storage.LanguageChosen = true;
        storage.Save(&window);
    }
    EXPECT_FALSE(std::filesystem::exists(iniPath));
    ASSERT_TRUE(std::filesystem::exists(confPath));

    TRegistryStorage registry;
    EXPECT_EQ(registry.Read("FormVersion"), QString("0"));
    EXPECT_EQ(registry.Read("Language"), QString("English"));
    EXPECT_EQ(registry.Read("Flags"), QString("0"));
    EXPECT_EQ(registry.Read("PixelsPerInch"), QString::number(CurrentPixelsPerInch()));
    EXPECT_EQ(registry.Read("NormPos"), QString("10,20,510,320"));
    EXPECT_EQ(registry.Read(Suffixed("NormPos")), QString("10,20,510,320"));
    EXPECT_TRUE(registry.Read("MinMaxPos").has_value());
    EXPECT_TRUE(registry.Read(Suffixed("MinMaxPos")).has_value());

    TFormStorage storage(ChoosePlacementStorage(QString::fromStdString(iniPath)));
    QWidget window;
    window.resize(728, 424);
    EXPECT_TRUE(storage.Restore(&window));
    EXPECT_EQ(window.pos(), QPoint(10, 20));
    EXPECT_EQ(window.size(), QSize(500, 300));
    EXPECT_EQ(storage.Language, QString("English"));
    EXPECT_TRUE(storage.LanguageChosen);

    // A language the locale settled, not the user, is stored as empty.
    storage.LanguageChosen = false;
    storage.Save(&window);
    EXPECT_EQ(registry.Read("Language"), QString());
}

TEST_F(FormStorageTest, IniFileTakesOverWhenItExists) {
    std::ofstream(iniPath) << "; mine\r\n[Other]\r\nKeep=1\r\n[QuorvIPChage]\r\nLanguage=Korea\r\n";
    TFormStorage storage(ChoosePlacementStorage(QString::fromStdString(iniPath)));
    QWidget window;
    EXPECT_FALSE(storage.Restore(&window));
    EXPECT_EQ(storage.Language, QString("Korea"));
    window.move(30, 40);
    window.resize(500, 300);
    storage.Save(&window);
    EXPECT_FALSE(std::filesystem::exists(confPath));

    const std::string text = ReadFile(iniPath);
    EXPECT_NE(text.find("; mine\r\n[Other]\r\nKeep=1\r\n"), std::string::npos);
    // Names are written as they are, not escaped.
    EXPECT_NE(text.find(("NormPos" + ScreenSizeSuffix().toStdString() + "=30,40,530,340")),
              std::string::npos);
    EXPECT_NE(text.find("FormVersion=0"), std::string::npos);
    EXPECT_NE(text.find("PixelsPerInch=" + std::to_string(CurrentPixelsPerInch())),
              std::string::npos);

    TFormStorage again(ChoosePlacementStorage(QString::fromStdString(iniPath)));
    QWidget restored;
    EXPECT_TRUE(again.Restore(&restored));
    EXPECT_EQ(restored.pos(), QPoint(30, 40));
}

TEST_F(FormStorageTest, ValuesThatMustNotBeRestored) {
    auto restoreWith = [&](const std::string& section) {
        std::ofstream(iniPath, std::ios::trunc) << "[QuorvIPChage]\n" << section;
        TFormStorage storage(std::make_unique<TIniFileStorage>(QString::fromStdString(iniPath)));
        QWidget window;
        window.move(1, 2);
        window.resize(300, 200);
        const bool placed = storage.Restore(&window);
        EXPECT_EQ(window.size(), placed ? window.size() : QSize(300, 200));
        return placed;
    };
    const std::string ppi = "PixelsPerInch=" + std::to_string(CurrentPixelsPerInch()) + "\n";
    EXPECT_TRUE(restoreWith(ppi + "NormPos=10,20,410,320\n"));
    // Made at another pixels-per-inch setting.
    EXPECT_FALSE(restoreWith("PixelsPerInch=" + std::to_string(CurrentPixelsPerInch() + 24) +
                             "\nNormPos=10,20,410,320\n"));
    EXPECT_FALSE(restoreWith(ppi + "NormPos=10,x,410,320\n"));
    EXPECT_FALSE(restoreWith(ppi + "NormPos=410,20,10,320\n"));
    EXPECT_FALSE(restoreWith(ppi + "NormPos=10,20,410\n"));
    EXPECT_FALSE(restoreWith(ppi + "FormVersion=-1\nNormPos=10,20,410,320\n"));
}

// A rectangle from a larger screen, another scale factor, a monitor that is gone or an
// edited file is put where the whole window, title bar and menu included, can be reached.
TEST_F(FormStorageTest, RectanglesAreFittedIntoTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    auto restored = [&](int left, int top, int right, int bottom) {
        std::ofstream(iniPath, std::ios::trunc)
            << "[QuorvIPChage]\nPixelsPerInch=" << CurrentPixelsPerInch() << "\nNormPos=" << left
            << "," << top << "," << right << "," << bottom << "\n";
        TFormStorage storage(std::make_unique<TIniFileStorage>(QString::fromStdString(iniPath)));
        QWidget window;
        EXPECT_TRUE(storage.Restore(&window));
        EXPECT_TRUE(area.contains(window.geometry())) << left << "," << top;
        return window.geometry();
    };
    // Inside already: exactly as stored.
    EXPECT_EQ(restored(10, 20, 410, 320), QRect(10, 20, 400, 300));
    // Running off the right and the bottom, as a place stored at scale 1 would at 2.
    EXPECT_EQ(
        restored(area.right() - 150, area.bottom() - 50, area.right() + 250, area.bottom() + 250),
        QRect(area.right() - 399, area.bottom() - 299, 400, 300));
    // Above the screen: its title bar could not be grabbed.
    EXPECT_EQ(restored(10, -40, 410, 260).top(), area.top());
    // Larger than the screen: shrunk to it.
    EXPECT_EQ(restored(0, 0, 100000, 100000).size(), area.size());
    // On a monitor that is gone: brought to this one at its size.
    EXPECT_EQ(restored(9000, 9000, 9400, 9300).size(), QSize(400, 300));
}

TEST_F(FormStorageTest, TheCurrentScreenSizesValueWinsOverThePlainOne) {
    const std::string ppi = "PixelsPerInch=" + std::to_string(CurrentPixelsPerInch()) + "\n";
    std::ofstream(iniPath) << "[QuorvIPChage]\n"
                           << ppi << "NormPos=10,20,410,320\n"
                           << "NormPos" << ScreenSizeSuffix().toStdString()
                           << "=50,60,250,160\nNormPos(1x1)=70,80,90,100\n";
    TFormStorage storage(ChoosePlacementStorage(QString::fromStdString(iniPath)));
    QWidget window;
    ASSERT_TRUE(storage.Restore(&window));
    EXPECT_EQ(window.pos(), QPoint(50, 60));
    EXPECT_EQ(window.size(), QSize(200, 100));
}

}  // namespace
}  // namespace quorv::settings
