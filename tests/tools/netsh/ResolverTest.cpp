#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "netsh/DhcpHook.h"
#include "netsh/InterfaceState.h"
#include "netsh/Resolver.h"

namespace quorv::netsh {
namespace {

namespace fs = std::filesystem;
using Servers = std::vector<std::string>;

TEST(ResolvConf, OnlyNameserverLinesChange) {
    ResolvConf conf(
        "# written by hand\n"
        "search example.org\n"
        "nameserver 1.1.1.1\n"
        "options ndots:2\n"
        "  nameserver\t8.8.8.8\n"
        "#nameserver 9.9.9.9\n"
        "nameservers-are-not-this 1.2.3.4\n");
    EXPECT_EQ(conf.Nameservers(), (std::vector<std::string>{"1.1.1.1", "8.8.8.8"}));
    conf.SetNameservers({"10.0.0.2", "10.0.0.3"});
    EXPECT_EQ(conf.Text(),
              "# written by hand\n"
              "search example.org\n"
              "nameserver 10.0.0.2\n"
              "nameserver 10.0.0.3\n"
              "options ndots:2\n"
              "#nameserver 9.9.9.9\n"
              "nameservers-are-not-this 1.2.3.4\n");
    conf.SetNameservers({});
    EXPECT_TRUE(conf.Nameservers().empty());
    EXPECT_NE(conf.Text().find("options ndots:2\n"), std::string::npos);
}

TEST(ResolvConf, ServersGoToTheEndWhenThereWereNone) {
    ResolvConf conf("search lan\n");
    conf.SetNameservers({"10.0.0.2"});
    EXPECT_EQ(conf.Text(), "search lan\nnameserver 10.0.0.2\n");
    ResolvConf empty("");
    empty.SetNameservers({"10.0.0.2"});
    EXPECT_EQ(empty.Text(), "nameserver 10.0.0.2\n");
}

class ResolverFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorv-resolver-XXXXXX";
        dir_ = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(ResolverFile, ReplaceKeepsModeFollowsLinksAndLeavesNoTemporaries) {
    fs::path real = dir_ / "real.conf";
    fs::path link = dir_ / "resolv.conf";
    {
        std::FILE* f = std::fopen(real.c_str(), "w");
        std::fputs("old\n", f);
        std::fclose(f);
    }
    chmod(real.c_str(), 0640);
    fs::create_symlink("real.conf", link);

    ReplaceFileContent(link, "new content\n");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadTextFile(real), "new content\n");
    struct stat st;
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);

    // A missing target is created, also behind a dangling link.
    fs::path dangling = dir_ / "dangling";
    fs::create_symlink("made.conf", dangling);
    ReplaceFileContent(dangling, "x\n");
    EXPECT_EQ(ReadTextFile(dir_ / "made.conf"), "x\n");
}

TEST_F(ResolverFile, TemporariesOfKilledWritersGoThoseOfLiveOnesStay) {
    pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const std::string dead = ".x.conf.quorv-" + std::to_string(child) + "-abcdef";
    const std::string live = ".x.conf.quorv-" + std::to_string(getpid()) + "-abcdef";
    const std::string other = ".y.conf.quorv-" + std::to_string(child) + "-ghijkl";
    for (const auto& name : {dead, live, other}) {
        std::fclose(std::fopen((dir_ / name).c_str(), "w"));
    }
    ReplaceFileContent(dir_ / "x.conf", "x\n");
    EXPECT_FALSE(fs::exists(dir_ / dead));
    EXPECT_FALSE(fs::exists(dir_ / other));
    EXPECT_TRUE(fs::exists(dir_ / live));
    EXPECT_EQ(ReadTextFile(dir_ / "x.conf"), "x\n");
}

TEST_F(ResolverFile, ReplaceInAMissingFolderFailsClearly) {
    try {
        ReplaceFileContent(dir_ / "no" / "such.conf", "x");
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot write"), std::string::npos);
    }
}

TEST_F(ResolverFile, NewestInterfaceFirstAtMostThreeServers) {
    const std::string conf = dir_ / "resolv.conf";
    ReplaceFileContent(conf, "search lan\nnameserver 9.9.9.9\noptions edns0\n");
    std::set<std::string> present{"lan0", "wlan0"};
    auto resolver = FileResolverAt(
        dir_ / "state", conf, [&](const std::string& ifname) { return present.count(ifname) > 0; });
    const auto servers = [&] { return ResolvConf(ReadTextFile(conf).value_or("")).Nameservers(); };

    resolver->SetServers("lan0", {"10.0.0.53", "10.0.0.54"});
    EXPECT_EQ(servers(), (Servers{"10.0.0.53", "10.0.0.54"}));
    resolver->SetServers("wlan0", {"10.1.0.60", "10.1.0.61"});
    EXPECT_EQ(servers(), (Servers{"10.1.0.60", "10.1.0.61", "10.0.0.53"}));
    // The same servers again (a renewed lease) keep their place; a change comes first.
    resolver->SetServers("lan0", {"10.0.0.53", "10.0.0.54"});
    EXPECT_EQ(servers(), (Servers{"10.1.0.60", "10.1.0.61", "10.0.0.53"}));
    resolver->SetServers("lan0", {"10.0.0.55", "10.1.0.61", "10.0.0.53"});
    EXPECT_EQ(servers(), (Servers{"10.0.0.55", "10.1.0.61", "10.0.0.53"}));
    resolver->SetServers("wlan0", {"10.1.0.62"});
    EXPECT_EQ(servers(), (Servers{"10.1.0.62", "10.0.0.55", "10.1.0.61"}));
    const std::string text = ReadTextFile(conf).value_or("");
    EXPECT_EQ(text.rfind("search lan\nnameserver ", 0), 0u) << text;
    EXPECT_NE(text.find("\noptions edns0\n"), std::string::npos) << text;

    resolver->SetServers("wlan0", {});
    EXPECT_EQ(servers(), (Servers{"10.0.0.55", "10.1.0.61", "10.0.0.53"}));
    // An interface that is gone takes its servers along.
    resolver->SetServers("wlan0", {"10.1.0.63"});
    present.erase("lan0");
    resolver->SetServers("wlan0", {"10.1.0.64"});
    EXPECT_EQ(servers(), (Servers{"10.1.0.64"}));
}

TEST(Lease, OfferedValuesAreJudgedAsNetshJudgesThem) {
    std::map<std::string, std::string> vars{
        {"new_ip_address", "10.213.1.77"},
        {"new_subnet_mask", "255.255.255.0"},
        {"new_routers", "0.0.0.0 224.0.0.2 10.213.1.1"},
        {"new_domain_name_servers",
         "224.0.0.251 0.0.0.0 10.213.1.53 127.0.0.53 10.213.1.54 10.1.1.1"},
        {"new_dhcp_lease_time", "3600"}};
    const auto offered = [&] {
        return OfferedLease([&](const std::string& name) -> std::optional<std::string> {
            auto it = vars.find(name);
            return it == vars.end() ? std::nullopt : std::optional(it->second);
        });
    };
    auto lease = offered();
    ASSERT_TRUE(lease);
    EXPECT_EQ(lease->address, "10.213.1.77");
    EXPECT_EQ(lease->routers, Servers{"10.213.1.1"});
    // Refused servers take no place among the three the resolver uses.
    EXPECT_EQ(lease->dns, (Servers{"10.213.1.53", "127.0.0.53", "10.213.1.54"}));
    EXPECT_EQ(lease->expires - lease->obtained, 3600);

    const std::pair<const char*, const char*> refused[] = {
        {"10.213.1.0", "255.255.255.0"},   {"10.213.1.255", "255.255.255.0"},
        {"10.213.1.4", "255.255.255.252"}, {"10.213.1.7", "255.255.255.252"},
        {"0.0.0.0", "255.255.255.0"},      {"127.0.0.5", "255.0.0.0"},
        {"224.0.0.5", "255.255.255.0"},    {"10.213.1.77", "255.0.255.0"},
    };
    for (const auto& [address, mask] : refused) {
        vars["new_ip_address"] = address;
        vars["new_subnet_mask"] = mask;
        EXPECT_FALSE(offered()) << address << " mask " << mask;
    }
    const std::pair<const char*, const char*> taken[] = {
        {"10.213.1.5", "255.255.255.252"},
        {"10.213.1.4", "255.255.255.254"},
        {"10.213.1.7", "255.255.255.255"},
    };
    for (const auto& [address, mask] : taken) {
        vars["new_ip_address"] = address;
        vars["new_subnet_mask"] = mask;
        EXPECT_TRUE(offered()) << address << " mask " << mask;
    }
}

TEST(Lease, RoundTripAndHostileLines) {
    Lease lease;
    lease.address = "10.213.1.77";
    lease.mask = "255.255.255.0";
    lease.server = "10.213.1.1";
    lease.domain = "lab.example";
    lease.routers = {"10.213.1.1"};
    lease.dns = {"10.213.1.53", "10.213.1.54"};
    lease.obtained = 1700000000;
    lease.expires = 1700003600;
    Lease back = ParseLease(FormatLease(lease));
    EXPECT_EQ(back.address, lease.address);
    EXPECT_EQ(back.dns, lease.dns);
    EXPECT_EQ(back.routers, lease.routers);
    EXPECT_EQ(back.domain, lease.domain);
    EXPECT_EQ(back.expires, lease.expires);

    Lease odd = ParseLease("garbage\nobtained=not-a-number\nexpires=99999999999999999999999\n=\n");
    EXPECT_EQ(odd.obtained, 0);
    EXPECT_EQ(odd.expires, 0);
}

}  // namespace
}  // namespace quorv::netsh
