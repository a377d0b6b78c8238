#include "cli/ProgressLanguage.h"

#include <gtest/gtest.h>

#include <fstream>

#include "TempFolder.h"

namespace quorv::cli {
namespace {

using quorv::testing::ScopedEnv;
using quorv::testing::TempFolder;

TEST(ProgressLanguage, FollowsTheLocaleAsTheWindowDoes) {
    TempFolder folder;
    std::ofstream(folder / "English.dat") << "[Message]\nmsgChangeIP=Setting the IP address...\n";
    std::ofstream(folder / "Korea.dat")
        << "[Message]\nmsgChangeDNS=DNS 바꾸는 중...\nmsgExitCode=종료 코드 %1\n";
    const apply::ProgressTexts builtIn;
    ScopedEnv messages("LC_MESSAGES", nullptr);
    ScopedEnv lang("LANG", "ko_KR.UTF-8");
    {
        ScopedEnv all("LC_ALL", "en_GB.UTF-8");
        EXPECT_EQ(LocaleLanguage(), "English");
        const apply::ProgressTexts english = LocaleProgressTexts(folder.path());
        EXPECT_EQ(english.msgChangeIP, "Setting the IP address...");
        // What the file lacks stays the built-in text, as in the window.
        EXPECT_EQ(english.msgChangeGateway, builtIn.msgChangeGateway);
    }
    ScopedEnv all("LC_ALL", nullptr);
    EXPECT_EQ(LocaleLanguage(), "Korea");
    EXPECT_EQ(LocaleProgressTexts(folder.path()).msgChangeDNS, "DNS 바꾸는 중...");
    // The failure list speaks the same language as the progress lines.
    EXPECT_EQ(LocaleProgressTexts(folder.path()).failures.msgExitCode, "종료 코드 %1");

    // No file, or one that cannot be read: the built-in texts.
    TempFolder empty;
    EXPECT_EQ(LocaleProgressTexts(empty.path()).msgChangeIP, builtIn.msgChangeIP);
    std::ofstream(empty / "Korea.dat") << std::string("[Message]\nmsgChangeIP=x\0", 24);
    EXPECT_EQ(LocaleProgressTexts(empty.path()).msgChangeIP, builtIn.msgChangeIP);
}

}  // namespace
}  // namespace quorv::cli
