#include "system/Process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "TempFolder.h"
#include "system/CommandLine.h"
#include "system/ProgramFolder.h"
#include "system/ProgramLookup.h"
#include "system/WinExec.h"

namespace quorv::platform {
namespace {

using quorv::testing::ReadFile;
using quorv::testing::ScopedEnv;
using quorv::testing::TempFolder;
using Clock = std::chrono::steady_clock;

// Prints each argument on a line of its own between < and >.
constexpr const char* kEchoArgs = "#!/bin/sh\nfor a in \"$@\"; do printf '<%s>\\n' \"$a\"; done\n";

bool WaitForFile(const std::string& path, std::chrono::milliseconds limit) {
    auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (!ReadFile(path).empty()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgram) {
    // Test programs are built into <build>/tests.
    EXPECT_EQ(ProgramFolder(),
              std::filesystem::path(QUORV_BIN_DIR).parent_path().string() + "/tests/");
}

TEST(FindProgram, ProgramFolderBeforePath) {
    TempFolder programs, onPath;
    programs.WriteProgram("tool", "#!/bin/sh\n");
    onPath.WriteProgram("tool", "#!/bin/sh\n");
    onPath.WriteProgram("other", "#!/bin/sh\n");
    std::ofstream(programs / "plain") << "not executable";
    ScopedEnv path("PATH", onPath.path().c_str());

    EXPECT_EQ(FindProgram("tool", programs.path()), programs / "tool");
    EXPECT_EQ(FindProgram("other", programs.path()), onPath / "other");
    EXPECT_EQ(FindProgram("plain", programs.path()), "");
    EXPECT_EQ(FindProgram("missing", programs.path()), "");
    // Windows spellings: a trailing .exe, and letter case in the program folder.
    EXPECT_EQ(FindProgram("tool.exe", programs.path()), programs / "tool");
    EXPECT_EQ(FindProgram("TOOL", programs.path()), programs / "tool");
    EXPECT_EQ(FindProgram("OTHER", programs.path()), "");
    // A name with a slash is taken as given, never searched.
    EXPECT_EQ(FindProgram(onPath / "other", programs.path()), onPath / "other");
    EXPECT_EQ(FindProgram("./tool", programs.path()), "");
}

TEST(RunAndWait, MinusOneWhenNothingCanStart) {
    TempFolder folder;
    std::ofstream(folder / "noexec") << "#!/bin/sh\n";
    folder.WriteProgram("badinterp", "#!/nonexistent/interpreter\n");
    folder.WriteProgram("noshebang", "echo would need a shell\n");
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {""},
                                               {"   "},
                                               {"no-such-program-anywhere"},
                                               {"noexec"},
                                               {"badinterp"},
                                               {"noshebang"},
                                               {"/nonexistent/path/prog"}}) {
        const std::string name = args.empty() ? "(none)" : args[0];
        RunOutput out = RunAndWaitCaptured(args, {folder.path()});
        EXPECT_EQ(out.exitCode, -1) << name;
        EXPECT_FALSE(out.Started()) << name;
        EXPECT_FALSE(out.startError.empty()) << name;
    }
}

TEST(RunAndWait, ExitCodeAndOutputWithNothingOnStdin) {
    TempFolder folder;
    folder.WriteProgram("talk",
                        "#!/bin/sh\necho out line\necho err line >&2\n"
                        "if read x; then echo got-input; fi\nexit 7\n");
    folder.WriteProgram("killed", "#!/bin/sh\nkill -TERM $$\n");
    RunOutput out = RunAndWaitCaptured({"talk"}, {folder.path()});
    EXPECT_EQ(out.exitCode, 7);
    EXPECT_EQ(out.standardOutput, "out line\n");
    EXPECT_EQ(out.standardError, "err line\n");
    EXPECT_EQ(out.program, folder / "talk");
    EXPECT_EQ(RunAndWait({"killed"}, {folder.path()}), 128 + SIGTERM);
}

// The input may be far larger than a pipe holds while the child writes its own output
// before reading: neither side stalls. Output lines reach the caller as they come, in order,
// and a last line without its line break only in the output.
TEST(RunAndWait, InputOfAnySizeAndOutputLineByLine) {
    TempFolder folder;
    folder.WriteProgram("filter", "#!/bin/sh\necho first\nwc -c\nprintf 'no break'\n");
    WaitOptions wait;
    wait.input = std::string(300 * 1024, 'x') + "\n";
    std::vector<std::string> lines;
    wait.onOutputLine = [&](const std::string& line) { lines.push_back(line); };
    RunOutput out = RunAndWaitCaptured({"filter"}, {folder.path()}, wait);
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"first", std::to_string(300 * 1024 + 1)}));
    EXPECT_EQ(out.standardOutput, "first\n" + std::to_string(300 * 1024 + 1) + "\nno break");
}

TEST(RunAndWait, ArgumentsArriveVerbatimWithoutAShell) {
    TempFolder folder;
    folder.WriteProgram("args", kEchoArgs);
    RunOutput out = RunAndWaitCaptured({"args", "a;b", "x | y", "$HOME", "`id`", "'q'", ">f", "*"},
                                       {folder.path()});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.standardOutput, "<a;b>\n<x | y>\n<$HOME>\n<`id`>\n<'q'>\n<>f>\n<*>\n");
    EXPECT_FALSE(std::filesystem::exists("f"));
}

// What the program builds itself is never split again: each argument arrives as it is.
TEST(RunAndWait, ArgumentsWithBlanksAndQuotesArriveUnchanged) {
    TempFolder folder;
    folder.WriteProgram("args", kEchoArgs);
    const std::vector<std::string> args{"two words",    "a\"b",     "\"quoted\"", "back\\\"",
                                        "trailing\\",   "",         " lead",      "tab\there",
                                        "name=\"x\" y", "한글 연결"};
    std::vector<std::string> argv{"args"};
    argv.insert(argv.end(), args.begin(), args.end());
    RunOutput out = RunAndWaitCaptured(argv, {folder.path()});
    std::string expected;
    for (const std::string& a : args) {
        expected += "<" + a + ">\n";
    }
    EXPECT_EQ(out.standardOutput, expected);
}

TEST(RunAndWait, OutputTogetherInOrderOrNotAtAll) {
    TempFolder folder;
    folder.WriteProgram("talk", "#!/bin/sh\necho one\necho two >&2\necho three\nexit 3\n");
    RunOutput together = RunAndWaitCaptured({"talk"}, {folder.path()}, {Capture::Together});
    EXPECT_EQ(together.exitCode, 3);
    EXPECT_EQ(together.standardOutput, "one\ntwo\nthree\n");
    EXPECT_EQ(together.standardError, "");
    RunOutput nothing = RunAndWaitCaptured({"talk"}, {folder.path()}, {Capture::Nothing});
    EXPECT_EQ(nothing.exitCode, 3);
    EXPECT_EQ(nothing.standardOutput + nothing.standardError, "");
}

TEST(RunAndWait, KilledWhenTheTimeIsUpWithWhatItSaidSoFar) {
    TempFolder folder;
    folder.WriteProgram("hang", "#!/bin/sh\necho before\nexec sleep 10\n");
    const auto begin = Clock::now();
    RunOutput out = RunAndWaitCaptured({"hang"}, {folder.path()}, {Capture::Apart, 300});
    EXPECT_GE(Clock::now() - begin, std::chrono::milliseconds(300));
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(3));
    EXPECT_EQ(out.exitCode, 128 + SIGKILL);
    EXPECT_EQ(out.standardOutput, "before\n");
}

TEST(RunAndWait, ChildInheritsNoOtherHandles) {
    TempFolder folder;
    folder.WriteProgram("fds", "#!/bin/sh\n[ -e /proc/$$/fd/77 ] && echo leaked\nexit 0\n");
    int file = ::open("/dev/null", O_RDONLY);  // no close-on-exec, like a careless library
    ASSERT_EQ(::dup2(file, 77), 77);
    RunOutput out = RunAndWaitCaptured({"fds"}, {folder.path()});
    ::close(77);
    ::close(file);
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.standardOutput, "");
}

TEST(RunAndWait, LongArgumentArrivesWhole) {
    TempFolder folder;
    folder.WriteProgram("args", kEchoArgs);
    std::string longArg(600, 'x');
    longArg.back() = 'Z';
    ASSERT_GT(longArg.size(), 512u);
    RunOutput out = RunAndWaitCaptured({"args", longArg, "last"}, {folder.path()});
    EXPECT_EQ(out.standardOutput, "<" + longArg + ">\n<last>\n");
}

TEST(RunAndWait, DoesNotWaitForBackgroundChildrenHoldingThePipes) {
    TempFolder folder;
    // Like a DHCP client that forks into the background and keeps stdout open.
    folder.WriteProgram("daemonize", "#!/bin/sh\necho started\nsleep 5 &\nexit 0\n");
    auto begin = Clock::now();
    RunOutput out = RunAndWaitCaptured({"daemonize"}, {folder.path()});
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(3));
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.standardOutput, "started\n");
}

TEST(RunAndWait, KeepsOnlyTheStartOfHugeOutput) {
    TempFolder folder;
    folder.WriteProgram("flood", "#!/bin/sh\nhead -c 1000000 /dev/zero | tr '\\0' x\nexit 0\n");
    RunOutput out = RunAndWaitCaptured({"flood"}, {folder.path()});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.standardOutput.size(), kCaptureLimit);
}

TEST(WinExec, HiddenStartsDetachedAndReturnsAtOnce) {
    TempFolder folder;
    const std::string marker = folder / "marker";
    folder.WriteProgram("slow", "#!/bin/sh\nsleep 1\nprintf '%s|' \"$@\" > \"" + marker +
                                    "\"\n[ -t 0 ] && echo tty >> \"" + marker + "\"\n");
    auto begin = Clock::now();
    EXPECT_TRUE(WinExec("slow one \"two words\"", false, {folder.path()}));
    EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(800));
    ASSERT_TRUE(WaitForFile(marker, std::chrono::seconds(5)));
    EXPECT_EQ(ReadFile(marker), "one|two words|");
}

// A script outlives the window that started it: Ctrl+C or a hang-up of the window's
// terminal must not reach it.
TEST(WinExec, StartsInASessionOfItsOwn) {
    TempFolder folder;
    const std::string marker = folder / "marker";
    folder.WriteProgram("session",
                        "#!/bin/sh\nset -- $(cat /proc/$$/stat)\n[ \"$6\" = \"$$\" ] && "
                        "echo own > \"" +
                            marker + "\" || echo shared > \"" + marker + "\"\n");
    EXPECT_TRUE(WinExec("session", false, {folder.path()}));
    ASSERT_TRUE(WaitForFile(marker, std::chrono::seconds(5)));
    EXPECT_EQ(ReadFile(marker), "own\n");
}

TEST(WinExec, FalseWhenTheProgramIsMissing) {
    TempFolder folder;
    EXPECT_FALSE(WinExec("no-such-program-anywhere x", false, {folder.path()}));
    EXPECT_FALSE(WinExec("   ", true, {folder.path()}));
}

TEST(WinExec, ShownRunsInsideTheTerminalEmulator) {
    TempFolder folder, terminals;
    const std::string log = folder / "terminal.log";
    terminals.WriteProgram("x-terminal-emulator",
                           "#!/bin/sh\nprintf '%s|' \"$@\" > \"" + log + "\"\n");
    folder.WriteProgram("script", "#!/bin/sh\n");
    ScopedEnv path("PATH", (terminals.path() + ":/usr/bin:/bin").c_str());
    ScopedEnv display("DISPLAY", ":99");
    EXPECT_TRUE(WinExec("script a b", true, {folder.path()}));
    ASSERT_TRUE(WaitForFile(log, std::chrono::seconds(5)));
    EXPECT_EQ(ReadFile(log), "-e|" + (folder / "script") + "|a|b|");
}

TEST(WinExec, ShownRunsHiddenWithoutDisplayOrTerminal) {
    TempFolder folder, terminals, emptyPath;
    const std::string log = folder / "terminal.log";
    const std::string marker = folder / "marker";
    terminals.WriteProgram("x-terminal-emulator", "#!/bin/sh\necho used > \"" + log + "\"\n");
    folder.WriteProgram("script", "#!/bin/sh\necho ran > \"" + marker + "\"\n");
    ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    ScopedEnv terminal("TERMINAL", "xterm");
    {
        ScopedEnv path("PATH", terminals.path().c_str());
        ScopedEnv display("DISPLAY", nullptr);
        EXPECT_TRUE(WinExec("script", true, {folder.path()}));
        ASSERT_TRUE(WaitForFile(marker, std::chrono::seconds(5)));
    }
    std::filesystem::remove(marker);
    {
        ScopedEnv path("PATH", emptyPath.path().c_str());
        ScopedEnv display("DISPLAY", ":99");
        EXPECT_TRUE(WinExec("script", true, {folder.path()}));
        ASSERT_TRUE(WaitForFile(marker, std::chrono::seconds(5)));
    }
    EXPECT_FALSE(std::filesystem::exists(log));
}

}  // namespace
}  // namespace quorv::platform
