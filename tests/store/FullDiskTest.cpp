#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "store/StoreFileStream.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

// A full disk is said as such, not as a bare "Stream write error". The disk is a tiny
// tmpfs mounted in a private mount namespace of a child process.
TEST(FullDisk, AWriteThatDoesNotFitSaysTheDiskIsFull) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to mount a small disk";
    }
    quorv::testing::TempFolder tmp;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        std::string report = "no error";
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", tmp.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
            report = "setup failed";
        } else {
            const std::string file = tmp / "QuorvIPChanger.dat";
            std::ofstream(file) << "";
            try {
                TStoreFileStream stream(file, TStoreFileStream::Access::ReadWrite, false);
                const std::vector<char> block(1 << 20, 'x');
                stream.WriteBuffer(block.data(), static_cast<int64_t>(block.size()));
            } catch (const EWriteError& e) {
                report = e.what();
            }
        }
        [[maybe_unused]] ssize_t n = ::write(fds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string report;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        report.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(report, "Stream write error: the disk is full");
}

}  // namespace
}  // namespace quorv::store
