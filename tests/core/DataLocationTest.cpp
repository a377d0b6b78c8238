#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "TempFolder.h"
#include "core/DataFile.h"
#include "core/DataLocation.h"
#include "store/StoreTable.h"

namespace quorv::app {
namespace {

using quorv::testing::ScopedEnv;
using quorv::testing::TempFolder;

// DataFolderFor as seen by an ordinary user: root may write everywhere, so as root the
// answer comes from a child that has given up its rights.
std::string DataFolderAsOrdinaryUser(const std::string& programFolder) {
    if (geteuid() != 0) {
        return DataFolderFor(programFolder, "");
    }
    int fds[2];
    if (pipe(fds) != 0) {
        return "pipe failed";
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) {
            _exit(2);
        }
        const std::string folder = DataFolderFor(programFolder, "");
        _exit(write(fds[1], folder.data(), folder.size()) == static_cast<ssize_t>(folder.size())
                  ? 0
                  : 3);
    }
    close(fds[1]);
    std::string folder;
    char buf[512];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) {
        folder.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? folder : "child failed";
}

TEST(DataLocation, BesideTheProgramsOnlyWhenTheUserMayWriteThere) {
    TempFolder tmp;
    const std::string programs = tmp / "programs";
    std::filesystem::create_directory(programs);
    ScopedEnv xdg("XDG_DATA_HOME", "/home/someone/data");

    // Writable by everyone: the portable use.
    chmod(programs.c_str(), 0777);
    chmod(tmp.path().c_str(), 0755);
    EXPECT_EQ(DataFolderAsOrdinaryUser(programs), programs + "/");
    EXPECT_EQ(DataFolderFor(programs + "/", ""), programs + "/");

    // Read-only for the user, as a root-owned installation is.
    chmod(programs.c_str(), 0755);
    EXPECT_EQ(DataFolderAsOrdinaryUser(programs), "/home/someone/data/quorv-ip-changer/");

    // The installed folder never holds the data, even for root, who may write there.
    EXPECT_EQ(DataFolderFor(programs, programs + "/"), "/home/someone/data/quorv-ip-changer/");
    EXPECT_EQ(DataFolderFor(programs, tmp / "elsewhere"), programs + "/");
}

TEST(DataLocation, UserFolderFollowsXdgDataHomeElseHome) {
    const std::string missing = "/nonexistent-quorv-folder";
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/srv/data/");
        EXPECT_EQ(DataFolderFor(missing, ""), "/srv/data/quorv-ip-changer/");
    }
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(DataFolderFor(missing, ""), "/home/someone/.local/share/quorv-ip-changer/");
    }
    {
        // A relative XDG_DATA_HOME is not to be used.
        ScopedEnv xdg("XDG_DATA_HOME", "data");
        EXPECT_EQ(DataFolderFor(missing, ""), "/home/someone/.local/share/quorv-ip-changer/");
    }
}

TEST(DataLocation, FirstStartMakesThePrivateFolder) {
    TempFolder tmp;
    const std::string path = tmp / "share/quorv-ip-changer/QuorvIPChanger.dat";
    MakeDataFolder(path);
    store::TStoreTable profiles, options;
    ASSERT_TRUE(OpenDataFile(path, profiles, options).Ok());
    struct stat st {};
    ASSERT_EQ(stat((tmp / "share/quorv-ip-changer").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace quorv::app
