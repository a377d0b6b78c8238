#include "system/Subprocess.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "TempFolder.h"

namespace quorv::platform {
namespace {

using quorv::testing::TempFolder;
using Clock = Subprocess::Clock;

SpawnRequest Capturing(const std::string& program) {
    SpawnRequest request{{program}};
    request.output = Sink::Capture;
    return request;
}

TEST(Subprocess, WaitEndsAtTheDeadlineOrWhenEnoughHasBeenSaid) {
    TempFolder folder;
    Subprocess child(
        Capturing(folder.WriteProgram("hang", "#!/bin/sh\necho ready\nexec sleep 10\n")));
    ASSERT_TRUE(child.Started()) << child.StartError();
    const auto begin = Clock::now();
    EXPECT_FALSE(
        child.WaitUntil(Clock::time_point::max(), [&] { return !child.Output().empty(); }));
    EXPECT_EQ(child.Output(), "ready\n");
    EXPECT_FALSE(child.WaitUntil(Clock::now() + std::chrono::milliseconds(100)));
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(3));
    EXPECT_FALSE(child.Ended());
    EXPECT_EQ(child.ExitCode(), -1);
    EXPECT_EQ(::kill(child.Pid(), 0), 0);

    child.Kill();
    EXPECT_TRUE(child.Ended());
    EXPECT_EQ(child.ExitCode(), 128 + SIGKILL);
    EXPECT_TRUE(child.WaitUntil(Clock::time_point::max()));
}

TEST(Subprocess, StartErrorsInTheSystemsWords) {
    TempFolder folder;
    const std::string plain = folder / "plain";
    std::ofstream(plain) << "#!/bin/sh\n";
    EXPECT_EQ(Subprocess(SpawnRequest{{plain}}).StartError(), "Permission denied");
    EXPECT_EQ(Subprocess(SpawnRequest{{folder / "missing"}}).StartError(),
              "No such file or directory");
    EXPECT_FALSE(Subprocess(SpawnRequest{}).Started());
}

TEST(WhileWaiting, TheInnermostWorkIsDoneDuringWaitsOfItsThreadOnly) {
    TempFolder folder;
    const std::string pause = folder.WriteProgram("pause", "#!/bin/sh\nsleep 0.3\n");
    int outer = 0, inner = 0;
    {
        WhileWaiting outerWork([&] { ++outer; });
        {
            WhileWaiting innerWork([&] { ++inner; });
            EXPECT_EQ(Subprocess(SpawnRequest{{pause}}).Wait(), 0);
        }
        EXPECT_EQ(outer, 0);
        EXPECT_GE(inner, 5);
        // Another thread's waits are no business of this thread's windows.
        std::thread([&] { Subprocess(SpawnRequest{{pause}}).Wait(); }).join();
        EXPECT_EQ(outer, 0);
        Subprocess(SpawnRequest{{pause}}).Wait();
        EXPECT_GE(outer, 5);
    }
    EXPECT_EQ(WhileWaiting::Current(), nullptr);
}

}  // namespace
}  // namespace quorv::platform
