#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "SmallDisk.h"
#include "TempFolder.h"
#include "store/StoreFileStream.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

// A full disk is said as such, not as a bare "Stream write error".
TEST(FullDisk, AWriteThatDoesNotFitSaysTheDiskIsFull) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to mount a small disk";
    }
    quorv::testing::TempFolder tmp;
    const std::string report = quorv::testing::OnSmallDisk(tmp.path(), [&] {
        const std::string file = tmp / "QuorvIPChanger.dat";
        std::ofstream(file) << "";
        try {
            TStoreFileStream stream(file, TStoreFileStream::Access::ReadWrite, false);
            const std::vector<char> block(1 << 20, 'x');
            stream.WriteBuffer(block.data(), static_cast<int64_t>(block.size()));
        } catch (const EWriteError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    });
    EXPECT_EQ(report, "Stream write error: the disk is full");
}

}  // namespace
}  // namespace quorv::store
