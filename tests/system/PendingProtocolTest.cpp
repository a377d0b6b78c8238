#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "system/PendingProtocol.h"

namespace quorv::platform {
namespace {

const std::string kId = "0123456789abcdef0123456789abcdef";
const std::string kOther = "fedcba9876543210fedcba9876543210";

TEST(PendingProtocol, OnlyListeningWatchdogSocketsWithWellFormedIdsAreFound) {
    const std::string text =
        "Num       RefCount Protocol Flags    Type St Inode Path\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 20001 @quorv-netsh/pending/" +
        kId +
        "\n"
        // The accepted connection of the same watchdog, and the listener listed twice.
        "0000000000000000: 00000003 00000000 00000000 0001 03 20002 @quorv-netsh/pending/" +
        kId +
        "\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 20001 @quorv-netsh/pending/" +
        kId +
        "\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 20003 /run/quorv-netsh/pending/" +
        kOther +
        "\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 20004 @quorv-netsh/pending/" +
        kOther.substr(1) +
        "\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 20005 @quorv-netsh/pending/" +
        kOther + "x\n" +
        "0000000000000000: 00000002 00000000 00010000 0001 01 20006 @quorv-netsh/pending/" +
        "0123456789ABCDEF0123456789ABCDEF\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 20007\n"
        "0000000000000000: 00000002 00000000 0001zz00 0001 01 20008 @quorv-netsh/pending/" +
        kOther +
        "\n"
        "garbage\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 20009 @quorv-netsh/pending/" +
        kOther + "\n";
    EXPECT_EQ(PendingIdsIn(text), (std::vector<std::string>{kId, kOther}));
    EXPECT_TRUE(PendingIdsIn("").empty());
}

TEST(PendingProtocol, StatusAndAnswerLines) {
    auto status = ParseStatus(kId, "pending lan0 42");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->id, kId);
    EXPECT_EQ(status->interface, "lan0");
    EXPECT_EQ(status->secondsLeft, 42);
    for (const char* bad : {"pending lan0", "pending lan0 4x", "pending lan0 -1",
                            "pending lan0 3 more", "waiting lan0 3", "failed: not yours", ""}) {
        EXPECT_FALSE(ParseStatus(kId, bad)) << bad;
    }

    PendingAnswer kept = ParseAnswer("kept");
    EXPECT_TRUE(kept.done);
    EXPECT_EQ(kept.error, "");
    PendingAnswer restored = ParseAnswer("restored: address dns");
    EXPECT_TRUE(restored.done);
    EXPECT_EQ(restored.restored, "address dns");
    PendingAnswer refused = ParseAnswer("failed: not yours");
    EXPECT_FALSE(refused.done);
    EXPECT_EQ(refused.error, "not yours");
    for (const char* odd : {"failed: ", "kept ", "KEPT", "pending lan0 3", ""}) {
        PendingAnswer answer = ParseAnswer(odd);
        EXPECT_FALSE(answer.done) << odd;
        EXPECT_FALSE(answer.error.empty()) << odd;
    }
}

class LineReading : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds_), 0); }
    void TearDown() override {
        close(fds_[0]);
        if (fds_[1] >= 0) {
            close(fds_[1]);
        }
    }
    void Send(const std::string& text) {
        ASSERT_EQ(write(fds_[1], text.data(), text.size()), ssize_t(text.size()));
    }
    int fds_[2] = {-1, -1};
};

TEST_F(LineReading, ALineIsTakenAndWhatFollowsItStays) {
    Send("status\nkeep\n");
    EXPECT_EQ(ReadPendingLine(fds_[0], std::chrono::milliseconds(500)), "status");
    EXPECT_EQ(ReadPendingLine(fds_[0], std::chrono::milliseconds(500)), "keep");
    ASSERT_TRUE(WritePendingLine(fds_[0], "kept"));
    char back[8] = {};
    EXPECT_EQ(read(fds_[1], back, sizeof back), 5);
    EXPECT_EQ(std::string(back), "kept\n");
}

TEST_F(LineReading, LongSilentOrUnfinishedLinesAreRefusedInTime) {
    Send(std::string(kPendingLineMax, 'a') + "\n");
    EXPECT_EQ(ReadPendingLine(fds_[0], std::chrono::milliseconds(500))->size(), kPendingLineMax);
    Send(std::string(kPendingLineMax + 1, 'a') + "\n");
    EXPECT_FALSE(ReadPendingLine(fds_[0], std::chrono::milliseconds(500)));

    LineReading::TearDown();
    SetUp();
    const auto started = std::chrono::steady_clock::now();
    Send("stat");
    EXPECT_FALSE(ReadPendingLine(fds_[0], std::chrono::milliseconds(200)));
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    EXPECT_LT(waited, std::chrono::milliseconds(1500));

    Send("us");
    close(fds_[1]);
    fds_[1] = -1;
    EXPECT_FALSE(ReadPendingLine(fds_[0], std::chrono::seconds(5)));
    EXPECT_FALSE(WritePendingLine(fds_[0], "kept"));
}

}  // namespace
}  // namespace quorv::platform
