#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TempFolder.h"
#include "base/Exception.h"
#include "system/ReplaceFile.h"

namespace quorv::platform {
namespace {

using quorv::testing::TempFolder;

std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

std::string Failure(const std::string& path, std::string_view bytes, TFileMode mode) {
    try {
        ReplaceFile(path, bytes, mode);
    } catch (const Exception& e) {
        return e.what();
    }
    return {};
}

TEST(ReplaceFile, WholeFileSwapLeavesOtherNamesAndLinkTargetsAlone) {
    TempFolder tmp;
    const std::string file = tmp / "settings.ini";
    std::ofstream(file) << "old";
    ASSERT_EQ(::link(file.c_str(), (tmp / "backup.ini").c_str()), 0);
    ReplaceFile(file, "new", TFileMode::KeepExisting);
    EXPECT_EQ(Read(file), "new");
    EXPECT_EQ(Read(tmp / "backup.ini"), "old");  // written in place, it would say "new"

    // Whoever owns a link would choose what is replaced: refused, target untouched.
    const std::string target = tmp / "target.qic";
    std::ofstream(target) << "theirs";
    ASSERT_EQ(::symlink(target.c_str(), (tmp / "link.qic").c_str()), 0);
    EXPECT_EQ(Failure(tmp / "link.qic", "mine", TFileMode::Private),
              "Cannot write \"" + tmp / "link.qic" +
                  "\": it is a symbolic link; name the file it points to instead.");
    EXPECT_EQ(Read(target), "theirs");
    EXPECT_EQ(Failure(tmp / "missing/x.qic", "x", TFileMode::Private),
              "Cannot write \"" + tmp / "missing/x.qic" + "\": No such file or directory.");
}

TEST(ReplaceFile, PrivateFilesNeverGetLooserAndOthersKeepTheirMode) {
    TempFolder tmp;
    ReplaceFile(tmp / "new.qic", "x", TFileMode::Private);
    EXPECT_EQ(ModeOf(tmp / "new.qic"), 0600u);
    std::ofstream(tmp / "open.qic") << "x";
    ::chmod((tmp / "open.qic").c_str(), 0666);
    ReplaceFile(tmp / "open.qic", "y", TFileMode::Private);
    EXPECT_EQ(ModeOf(tmp / "open.qic"), 0600u);
    ::chmod((tmp / "open.qic").c_str(), 0400);
    ReplaceFile(tmp / "open.qic", "z", TFileMode::Private);
    EXPECT_EQ(ModeOf(tmp / "open.qic"), 0400u);
    EXPECT_EQ(Read(tmp / "open.qic"), "z");

    std::ofstream(tmp / "shared.ini") << "x";
    ::chmod((tmp / "shared.ini").c_str(), 0640);
    ReplaceFile(tmp / "shared.ini", "y", TFileMode::KeepExisting);
    EXPECT_EQ(ModeOf(tmp / "shared.ini"), 0640u);
    // No temporary file is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(tmp.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 3);
}

// A full disk is said as such, and the old file stays whole. The disk is a tiny tmpfs
// mounted in a private mount namespace of a child process.
TEST(ReplaceFile, AFullDiskKeepsTheOldFileAndSaysSo) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to mount a small disk";
    }
    TempFolder tmp;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        std::string report;
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", tmp.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
            report = "setup failed";
        } else {
            const std::string file = tmp / "profiles.qic";
            std::ofstream(file) << "old";
            report =
                Failure(file, std::string(1 << 20, 'x'), TFileMode::Private) + "|" + Read(file);
        }
        [[maybe_unused]] ssize_t n = ::write(fds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        report.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(report, "Cannot write \"" + tmp / "profiles.qic" + "\": the disk is full.|old");
}

}  // namespace
}  // namespace quorv::platform
