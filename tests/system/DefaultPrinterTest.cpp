#include "system/DefaultPrinter.h"

#include <arpa/inet.h>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "TempFolder.h"

namespace quorv::apply {
namespace {

using quorv::testing::ScopedEnv;
using quorv::testing::TempFolder;
using Clock = std::chrono::steady_clock;

// Tests with a running cupsd live with the system tests; here the server is absent.

TEST(SetDefaultPrinter, GivesUpQuicklyWithoutAServerAndChangesNothing) {
    TempFolder home;
    ScopedEnv homeEnv("HOME", home.path().c_str());
    for (std::string server : {home / "no-cupsd.sock", std::string("127.0.0.1:1")}) {
        ScopedEnv cups("CUPS_SERVER", server.c_str());
        cupsSetServer(nullptr);  // forget the server of the previous round
        auto begin = Clock::now();
        EXPECT_FALSE(SetDefaultPrinter("Office Printer")) << server;
        EXPECT_LT(Clock::now() - begin, std::chrono::seconds(5)) << server;
    }
    EXPECT_FALSE(std::filesystem::exists(home / ".cups/lpoptions"));
}

TEST(SetDefaultPrinter, GivesUpOnAServerThatNeverAnswers) {
    // The kernel completes connections to a listening socket nobody accepts from.
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string server = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    TempFolder home;
    ScopedEnv homeEnv("HOME", home.path().c_str());
    ScopedEnv cups("CUPS_SERVER", server.c_str());
    cupsSetServer(nullptr);
    auto begin = Clock::now();
    EXPECT_FALSE(SetDefaultPrinter("Office Printer"));
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(5));
    ::close(listener);
}

TEST(SetDefaultPrinter, EmptyNameIsRefused) {
    EXPECT_FALSE(SetDefaultPrinter(""));
}

}  // namespace
}  // namespace quorv::apply
