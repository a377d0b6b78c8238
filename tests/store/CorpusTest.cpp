#include <gtest/gtest.h>

#include <filesystem>

#include "StoreImageExercise.h"
#include "StoreTestUtil.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

// Every file the fuzzer was seeded with or once crashed on goes through the same code as in
// the fuzz target. The valid seeds must go through without error.
TEST(FuzzCorpus, EveryFileReadsOrFailsCleanly) {
    int files = 0, valid = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QUORV_CORPUS_DIR)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        ++files;
        const auto bytes = test::ReadFileBytes(entry.path().string());
        const bool seed = entry.path().filename().string().rfind("seed-", 0) == 0;
        try {
            fuzz::ExerciseStoreImage(bytes.data(), bytes.size());
            ++valid;
        } catch (const quorv::Exception& e) {
            EXPECT_FALSE(seed) << entry.path() << ": " << e.what();
        }
    }
    EXPECT_GT(files, 0);
    EXPECT_GT(valid, 0);
}

}  // namespace
}  // namespace quorv::store
