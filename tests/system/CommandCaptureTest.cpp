#include "system/CommandCapture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "TempFolder.h"

namespace quorv::apply {
namespace {

using quorv::testing::TempFolder;
using Clock = std::chrono::steady_clock;

const std::string kReplacement = "\xEF\xBF\xBD";

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Running, not merely a zombie waiting to be collected.
bool Running(pid_t pid) {
    const std::string stat = quorv::testing::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

bool GoneWithin(pid_t pid, std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    const std::string proc = "/proc/" + std::to_string(pid);
    while (std::filesystem::exists(proc)) {
        if (Clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

TEST(CapturedText, StopsAtTheFirstNul) {
    EXPECT_EQ(CapturedText(std::string_view("before\0after", 12), false), "before");
    EXPECT_EQ(CapturedText(std::string_view("\0after", 6), true), "");
    // A NUL before the limit: the character the limit cut lies beyond the text anyway.
    EXPECT_EQ(CapturedText(std::string_view("a\0\xEA\xB0", 4), true), "a");
}

TEST(CapturedText, InvalidBytesBecomeReplacementCharacters) {
    EXPECT_EQ(CapturedText("IP 구성", false), "IP 구성");
    EXPECT_EQ(CapturedText("a\xFF"
                           "b",
                           false),
              "a" + kReplacement + "b");
    // A stray continuation byte, an overlong form, a surrogate, and a lead byte that
    // never exists in UTF-8.
    EXPECT_EQ(CapturedText("\x80", false), kReplacement);
    EXPECT_EQ(CapturedText("\xC0\xAF", false), kReplacement + kReplacement);
    EXPECT_EQ(CapturedText("\xED\xA0\x80", false), kReplacement + kReplacement + kReplacement);
    EXPECT_EQ(CapturedText("\xF5\x80", false), kReplacement + kReplacement);
    // A character broken off by something other than the limit is shown as one fault.
    EXPECT_EQ(CapturedText("x\xEA\xB0 y", false), "x" + kReplacement + " y");
    EXPECT_EQ(CapturedText("x\xEA\xB0", false), "x" + kReplacement);
}

TEST(CapturedText, TheLimitNeverSplitsACharacter) {
    EXPECT_EQ(CapturedText("가\xEB", true), "가");
    EXPECT_EQ(CapturedText("가\xEB\x82", true), "가");
    EXPECT_EQ(CapturedText("a\xF0\x9F\x98", true), "a");
    EXPECT_EQ(CapturedText("가나", true), "가나");
    // Bytes that could never have become a character are not the limit's doing.
    EXPECT_EQ(CapturedText("a\xC0", true), "a" + kReplacement);
    EXPECT_EQ(CapturedText("a\x80\x80", true), "a" + kReplacement + kReplacement);
}

TEST(CaptureCommand, LargeOutputKeepsOneMebibyteAndTheCommandFinishes) {
    TempFolder folder;
    // Lines of seven bytes: the limit falls inside the character after a "가".
    folder.WriteProgram("ipconfig", "#!/bin/sh\nyes '가나' | head -c 2097152\n");
    int passes = 0;
    const auto start = Clock::now();
    const CapturedOutput out =
        CaptureCommand({"IPCONFIG", "/all"}, [&] { ++passes; }, {}, {folder.path()});
    EXPECT_TRUE(out.started);
    EXPECT_TRUE(out.ended);
    EXPECT_EQ(out.passes, passes);
    EXPECT_LT(SecondsSince(start), 5.0);
    ASSERT_EQ(out.text.size(), 1048576u - 1);
    EXPECT_EQ(out.text.substr(0, 14), "가나\n가나\n");
    EXPECT_EQ(out.text.substr(out.text.size() - 4), "\n가");
    EXPECT_EQ(out.text.find(kReplacement), std::string::npos);
}

TEST(CaptureCommand, CommandOutlivingThePassesIsLeftRunningAndReapedLater) {
    TempFolder folder;
    folder.WriteProgram("ipconfig", "#!/bin/sh\necho early\nexec sleep 1\n");
    int passes = 0;
    const auto start = Clock::now();
    const CapturedOutput out = CaptureCommand(
        {"ipconfig"}, [&] { ++passes; }, CaptureLimits{.passes = 3, .passMs = 50}, {folder.path()});
    EXPECT_LT(SecondsSince(start), 0.8);
    EXPECT_TRUE(out.started);
    EXPECT_FALSE(out.ended);
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(out.text, "early\n");
    ASSERT_GT(out.pid, 0);
    // Still running, not killed; once it ends nothing of it stays behind (no zombie).
    EXPECT_TRUE(Running(out.pid));
    EXPECT_TRUE(GoneWithin(out.pid, std::chrono::seconds(5)));
}

TEST(CaptureCommand, QuickCommandEndsInTheFirstPassesWithItsWholeOutput) {
    TempFolder folder;
    folder.WriteProgram("ipconfig", "#!/bin/sh\nprintf 'one\\n'\necho err >&2\nprintf two\n");
    const CapturedOutput out = CaptureCommand({"ipconfig"}, {}, {}, {folder.path()});
    EXPECT_TRUE(out.ended);
    EXPECT_LE(out.passes, 2);
    EXPECT_EQ(out.text, "one\ntwo");
    EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(out.pid)));
}

}  // namespace
}  // namespace quorv::apply
