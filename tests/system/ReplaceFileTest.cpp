#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "SmallDisk.h"
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

// A full disk is said as such, and the old file stays whole.
TEST(ReplaceFile, AFullDiskKeepsTheOldFileAndSaysSo) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to mount a small disk";
    }
    TempFolder tmp;
    const std::string report = quorv::testing::OnSmallDisk(tmp.path(), [&] {
        const std::string file = tmp / "profiles.qic";
        std::ofstream(file) << "old";
        return Failure(file, std::string(1 << 20, 'x'), TFileMode::Private) + "|" + Read(file);
    });
    EXPECT_EQ(report, "Cannot write \"" + tmp / "profiles.qic" + "\": the disk is full.|old");
}

}  // namespace
}  // namespace quorv::platform
