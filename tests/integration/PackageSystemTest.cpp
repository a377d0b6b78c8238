// The .deb as a user gets it: built by CPack, installed with dpkg into a fresh root, and
// qic run from that root alone (host libraries lent, nothing else), as an ordinary user.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "ChildProcess.h"

namespace quorv::systest {
namespace {

namespace fs = std::filesystem;

// Runs in a private mount namespace: lends the root the host's libraries and /proc, then
// runs the rest of the arguments chrooted as nobody.
constexpr const char* kChrootRun = R"(set -e
root=$1; shift
for d in usr/lib/x86_64-linux-gnu usr/lib64 proc; do
    mkdir -p "$root/$d"
    mount --bind "/$d" "$root/$d"
done
ln -sfn usr/lib "$root/lib"
ln -sfn usr/lib64 "$root/lib64"
exec /usr/bin/env -i HOME=/home/tester LANG=C.UTF-8 /usr/sbin/chroot --userspec=65534:65534 "$root" "$@"
)";

class PackageSystem : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for dpkg --root, mounts and chroot";
        }
        char pattern[] = "/var/tmp/quorvt-deb-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        work_ = pattern;
        chmod(work_.c_str(), 0755);
    }
    void TearDown() override {
        if (!work_.empty()) {
            std::error_code ignored;
            fs::remove_all(work_, ignored);
        }
    }

    std::string work_;
};

TEST_F(PackageSystem, DebInstallsIntoAFreshRootAndQicRunsFromIt) {
    const std::string buildDir = fs::path(BinDir()).parent_path().string();
    RunOptions slow;
    slow.timeoutMs = 180000;
    Result r = systest::Run({QUORV_CPACK, "-G", "DEB", "--config", buildDir + "/CPackConfig.cmake",
                             "-B", work_ + "/package"},
                            slow);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    std::string deb;
    for (const auto& entry : fs::directory_iterator(work_ + "/package")) {
        if (entry.path().extension() == ".deb") {
            deb = entry.path().string();
        }
    }
    ASSERT_FALSE(deb.empty()) << r.out;

    // Every dependency names a package this machine really has.
    r = systest::Run({"/usr/bin/dpkg-deb", "-f", deb, "Depends"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* needed : {"pkexec", "libqt6core6", "libicu", "libcups2"}) {
        EXPECT_NE(r.out.find(needed), std::string::npos) << r.out;
    }
    std::istringstream depends(r.out);
    for (std::string item; std::getline(depends, item, ',');) {
        std::istringstream words(item);
        std::string name;
        words >> name;
        EXPECT_EQ(systest::Run({"/usr/bin/dpkg-query", "-W", name}).status, 0)
            << name << " is not a package";
    }

    // Root owns every file of the package, and users can write none of them.
    r = systest::Run({"/usr/bin/dpkg-deb", "-c", deb});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream listing(r.out);
    for (std::string line; std::getline(listing, line);) {
        EXPECT_NE(line.find(" root/root "), std::string::npos) << line;
        if (line[0] != 'l') {
            EXPECT_EQ(line[5], '-') << line;
            EXPECT_EQ(line[8], '-') << line;
        }
    }

    const std::string root = work_ + "/root";
    fs::create_directories(root + "/var/lib/dpkg/info");
    fs::create_directories(root + "/var/lib/dpkg/updates");
    WriteFile(root + "/var/lib/dpkg/status", "");
    r = systest::Run({"/usr/bin/dpkg", "--root=" + root, "--force-depends", "-i", deb});
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    for (const char* file :
         {"/usr/lib/quorv-ip-changer/qic", "/usr/lib/quorv-ip-changer/netsh",
          "/usr/lib/quorv-ip-changer/ipconfig", "/usr/share/applications/quorv-ip-changer.desktop",
          "/usr/share/icons/hicolor/48x48/apps/quorv-ip-changer.png",
          "/usr/share/polkit-1/actions/com.quorv.ipchanger.policy"}) {
        EXPECT_TRUE(fs::exists(root + file)) << file;
    }
    EXPECT_EQ(fs::read_symlink(root + "/usr/bin/qic"), "../lib/quorv-ip-changer/qic");
    EXPECT_NE(ReadFile(root + "/usr/share/polkit-1/actions/com.quorv.ipchanger.policy")
                  .find(">/usr/lib/quorv-ip-changer/netsh<"),
              std::string::npos);

    fs::create_directories(root + "/home/tester");
    ASSERT_EQ(chown((root + "/home/tester").c_str(), 65534, 65534), 0);
    auto qic = [&](std::vector<std::string> args) {
        std::vector<std::string> argv{
            "/usr/bin/unshare", "-m", "--propagation", "private", "sh", "-c", kChrootRun,
            "chroot-run",       root, "/usr/bin/qic"};
        argv.insert(argv.end(), args.begin(), args.end());
        return systest::Run(argv);
    };
    r = qic({"list"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    r = qic({"add", "Home", "--interface", "eth0", "--dhcp"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = qic({"list"});
    EXPECT_EQ(r.out.rfind("Home\t", 0), 0u) << r.out;

    // The user's data went to the user's folder, not into the program folder.
    const std::string data = root + "/home/tester/.local/share/quorv-ip-changer/QuorvIPChanger.dat";
    struct stat st {};
    ASSERT_EQ(stat(data.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(fs::exists(root + "/usr/lib/quorv-ip-changer/QuorvIPChanger.dat"));
}

}  // namespace
}  // namespace quorv::systest
