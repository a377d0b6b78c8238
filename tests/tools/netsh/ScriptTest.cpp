#include <gtest/gtest.h>
#include <stdio.h>

#include "core/NetshCommands.h"
#include "core/NetshReport.h"
#include "netsh/Script.h"

namespace quorv::netsh {
namespace {

using Lines = std::vector<std::string>;

// What a report wrote, line by line.
class Captured {
  public:
    Captured() : file_(open_memstream(&buffer_, &size_)) {}
    ~Captured() {
        std::fclose(file_);
        free(buffer_);
    }
    std::FILE* File() { return file_; }
    Lines Text() {
        std::fflush(file_);
        Lines lines;
        std::string all(buffer_, size_);
        for (std::size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos;
             at = end + 1) {
            lines.push_back(all.substr(at, end - at));
        }
        return lines;
    }

  private:
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_;
};

TEST(Script, LinesAsTheWindowsToolReadsThem) {
    auto lines = ParseScript(
        "# a comment\r\n"
        "interface ip set address name=\"Office LAN\" source=static addr=10.0.0.5 "
        "mask=255.255.255.0\r\n"
        "\n   \t\n"
        "NETSH interface ip set dns name=eth0 source=dhcp\n"
        "interface ip set dns name=eth0 source=bogus");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].number, 2);
    EXPECT_EQ(lines[0].command.name, "Office LAN");
    EXPECT_EQ(lines[0].command.action, Action::SetAddressStatic);
    EXPECT_EQ(lines[1].number, 5);
    EXPECT_EQ(lines[1].command.action, Action::SetDnsDhcp);
    EXPECT_TRUE(lines[1].error.empty());
    EXPECT_NE(lines[2].error.find("source must be dhcp or static"), std::string::npos);
}

// The apply run writes its command lines; netsh must get every value back exactly, whatever
// quotes and backslashes the connection name holds.
TEST(Script, TheApplyRunsLinesComeBackAsTheyWereMeant) {
    for (const std::string name : {"My \"quoted\" LAN", "back\\", "a\\\\\"b", "tab\there"}) {
        auto script =
            apply::NetshScript({apply::SetStaticAddressCommand(name, "10.0.0.5", "255.255.255.0"),
                                apply::AddDnsCommand(name, "10.0.0.3")});
        auto lines = ParseScript(script.input);
        ASSERT_EQ(lines.size(), 2u) << name;
        for (const auto& line : lines) {
            EXPECT_EQ(line.error, "") << name;
            EXPECT_EQ(line.command.name, name);
        }
        EXPECT_EQ(FormatIpv4(lines[1].command.dns), "10.0.0.3");
    }
}

// The report as netsh writes it and as the apply run reads it: parts in order, each once,
// parts without lines done with the one before them.
TEST(Script, ReportReadsBackInTheApplyRun) {
    auto lines = ParseScript(
        "interface ip set address name=e source=dhcp\n"
        "interface ip set dns name=e source=static addr=10.0.0.2\n"
        "interface ip add dns name=e addr=10.0.0.3 index=2\n");
    Captured out;
    ScriptReport report(lines, out.File());
    apply::NetshReport read(3);
    report.Ok(1);
    EXPECT_EQ(out.Text(), (Lines{"line 1: ok", "done: address", "done: gateway"}));
    report.Failed(2, "first\nsecond");
    report.NotRun(3, 2);
    EXPECT_FALSE(report.AllOk());
    int parts = 0;
    for (const std::string& text : out.Text()) {
        parts = read.Read(text);
    }
    EXPECT_EQ(parts, 3);
    EXPECT_EQ(read.Said(0).state, apply::NetshReport::State::Ok);
    EXPECT_EQ(read.Said(1).state, apply::NetshReport::State::Failed);
    EXPECT_EQ(read.Said(1).reason, "first second");
    EXPECT_EQ(read.Said(2).state, apply::NetshReport::State::NotRun);
    EXPECT_EQ(read.Said(2).after, 2);

    // The device shows parts before their lines end (NetworkManager's one change).
    Captured shown;
    ScriptReport progress(lines, shown.File());
    progress.Shown(Phase::Address);
    progress.Shown(Phase::Address);
    progress.Shown(Phase::Dns);
    progress.Ok(1);
    progress.NoLease(2);
    EXPECT_EQ(shown.Text(), (Lines{"done: address", "done: gateway", "done: dns", "line 1: ok",
                                   "line 2: no lease"}));
    apply::NetshReport lease(3);
    for (const std::string& text : shown.Text()) {
        lease.Read(text);
    }
    EXPECT_EQ(lease.Said(1).state, apply::NetshReport::State::NoLease);
    // Lines that do not belong to the report are passed over and change nothing.
    EXPECT_EQ(lease.Read("line 9: ok"), 3);
    EXPECT_EQ(lease.Read("line 1: maybe"), 3);
    EXPECT_EQ(lease.Said(0).state, apply::NetshReport::State::Ok);
}

}  // namespace
}  // namespace quorv::netsh
