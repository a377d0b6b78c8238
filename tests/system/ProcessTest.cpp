#include "system/Process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "TempFolder.h"
#include "system/CommandLine.h"
#include "system/ProgramFolder.h"
#include "system/ProgramLookup.h"

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
    for (const char* line : {"", "   ", "no-such-program-anywhere", "noexec", "badinterp",
                             "noshebang", "/nonexistent/path/prog"}) {
        RunOutput out = RunAndWaitCaptured(line, {folder.path()});
        EXPECT_EQ(out.exitCode, -1) << line;
        EXPECT_FALSE(out.Started()) << line;
        EXPECT_FALSE(out.startError.empty()) << line;
    }
}

TEST(RunAndWait, ExitCodeAndOutputWithNothingOnStdin) {
    TempFolder folder;
    folder.WriteProgram("talk",
                        "#!/bin/sh\necho out line\necho err line >&2\n"
                        "if read x; then echo got-input; fi\nexit 7\n");
    folder.WriteProgram("killed", "#!/bin/sh\nkill -TERM $$\n");
    RunOutput out = RunAndWaitCaptured("talk", {folder.path()});
    EXPECT_EQ(out.exitCode, 7);
    EXPECT_EQ(out.standardOutput, "out line\n");
    EXPECT_EQ(out.standardError, "err line\n");
    EXPECT_EQ(out.program, folder / "talk");
    EXPECT_EQ(RunAndWait("killed", {folder.path()}), 128 + SIGTERM);
}

TEST(RunAndWait, ArgumentsArriveVerbatimWithoutAShell) {
    TempFolder folder;
    folder.WriteProgram("args", kEchoArgs);
    RunOutput out = RunAndWaitCaptured("args a;b \"x | y\" $HOME `id` 'q' >f *", {folder.path()});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.standardOutput, "<a;b>\n<x | y>\n<$HOME>\n<`id`>\n<'q'>\n<>f>\n<*>\n");
    EXPECT_FALSE(std::filesystem::exists("f"));
}

TEST(RunAndWait, ChildInheritsNoOtherHandles) {
    TempFolder folder;
    folder.WriteProgram("fds", "#!/bin/sh\n[ -e /proc/$$/fd/77 ] && echo leaked\nexit 0\n");
    int file = ::open("/dev/null", O_RDONLY);  // no close-on-exec, like a careless library
    ASSERT_EQ(::dup2(file, 77), 77);
    RunOutput out = RunAndWaitCaptured("fds", {folder.path()});
    ::close(77);
    ::close(file);
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.standardOutput, "");
}

TEST(RunAndWait, LongCommandLineArrivesWhole) {
    TempFolder folder;
    folder.WriteProgram("args", kEchoArgs);
    std::string longArg(600, 'x');
    longArg.back() = 'Z';
    std::string line = "args " + longArg + " last";
    ASSERT_GT(line.size(), 512u);
    RunOutput out = RunAndWaitCaptured(line, {folder.path()});
    EXPECT_EQ(out.standardOutput, "<" + longArg + ">\n<last>\n");
}

TEST(RunAndWait, DoesNotWaitForBackgroundChildrenHoldingThePipes) {
    TempFolder folder;
    // Like a DHCP client that forks into the background and keeps stdout open.
    folder.WriteProgram("daemonize", "#!/bin/sh\necho started\nsleep 5 &\nexit 0\n");
    auto begin = Clock::now();
    RunOutput out = RunAndWaitCaptured("daemonize", {folder.path()});
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(3));
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.standardOutput, "started\n");
}

TEST(RunAndWait, KeepsOnlyTheStartOfHugeOutput) {
    TempFolder folder;
    folder.WriteProgram("flood", "#!/bin/sh\nhead -c 1000000 /dev/zero | tr '\\0' x\nexit 0\n");
    RunOutput out = RunAndWaitCaptured("flood", {folder.path()});
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
