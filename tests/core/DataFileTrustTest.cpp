#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TempFolder.h"
#include "base/Exception.h"
#include "core/DataFileTrust.h"

namespace quorv::app {
namespace {

using quorv::testing::TempFolder;

TEST(DataFileTrust, RootRefusesFilesOthersCanWriteOrReplace) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give files away";
    }
    TempFolder tmp;  // root's own 0700 folder under the sticky /tmp
    const std::string folder = tmp / "programs";
    std::filesystem::create_directory(folder);
    chmod(folder.c_str(), 0755);
    const std::string file = folder + "/QuorvIPChanger.dat";
    std::ofstream(file) << "data";
    chmod(file.c_str(), 0600);
    EXPECT_EQ(WhyUntrustedByRoot(file), "");

    chmod(file.c_str(), 0620);
    EXPECT_EQ(WhyUntrustedByRoot(file), file + " can be written by other users");
    chmod(file.c_str(), 0600);

    ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    EXPECT_EQ(WhyUntrustedByRoot(file), file + " is not owned by root");
    ASSERT_EQ(chown(file.c_str(), 0, 0), 0);

    // Others could put their own file in its place, sticky bit or not.
    chmod(folder.c_str(), 01777);
    EXPECT_EQ(WhyUntrustedByRoot(file), "the folder " + folder + " can be written by other users");
    chmod(folder.c_str(), 0755);

    // A shared folder further up without the sticky bit lets others rename ours away.
    chmod(tmp.path().c_str(), 0777);
    EXPECT_NE(WhyUntrustedByRoot(file).find("can be written by other users"), std::string::npos);
    chmod(tmp.path().c_str(), 0700);

    // The link's target is what counts.
    const std::string link = tmp / "link.dat";
    ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
    EXPECT_EQ(WhyUntrustedByRoot(link), "");
    EXPECT_EQ(WhyUntrustedByRoot(tmp / "missing.dat"), tmp / "missing.dat" + " cannot be examined");
}

TEST(DataFileTrust, RootJudgesTheFileItOpensAndNoLinkOthersControl) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give files away";
    }
    TempFolder tmp;
    const std::string trusted = tmp / "trusted.dat";
    std::ofstream(trusted) << "trusted";
    chmod(trusted.c_str(), 0600);

    // A link in a folder others may write could be pointed elsewhere at any moment,
    // even where the sticky bit keeps them from replacing it.
    const std::string shared = tmp / "shared";
    std::filesystem::create_directory(shared);
    chmod(shared.c_str(), 01777);
    ASSERT_EQ(symlink(trusted.c_str(), (shared + "/link.dat").c_str()), 0);
    EXPECT_EQ(WhyUntrustedByRoot(shared + "/link.dat"),
              "the symbolic link " + shared + "/link.dat lies in a folder other users can write");
    const std::string theirs = tmp / "theirs";
    std::filesystem::create_directory(theirs);
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    ASSERT_EQ(symlink(trusted.c_str(), (theirs + "/link.dat").c_str()), 0);
    EXPECT_EQ(WhyUntrustedByRoot(theirs + "/link.dat"),
              "the folder " + theirs + " is not owned by root");
    EXPECT_THROW(TRootDataFile{theirs + "/link.dat"}, Exception);

    // Once judged, the file is what is read, whatever the name comes to mean.
    TRootDataFile judged(trusted);
    const std::string other = tmp / "other.dat";
    std::ofstream(other) << "hostile";
    ASSERT_EQ(rename(other.c_str(), trusted.c_str()), 0);
    std::string content;
    std::ifstream(judged.OpenedPath()) >> content;
    EXPECT_EQ(content, "trusted");

    // Relative names and ".." are walked like any other component.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(shared);
    EXPECT_EQ(WhyUntrustedByRoot("../trusted.dat"), "");
    std::filesystem::current_path(before);
}

}  // namespace
}  // namespace quorv::app
