#include <cstddef>
#include <cstdint>

#include "StoreImageExercise.h"
#include "base/Exception.h"

// Any database image: it must be read (and written) without a crash, a hang or a huge
// allocation. Only the store's own errors are expected.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        quorv::store::fuzz::ExerciseStoreImage(data, size);
    } catch (const quorv::Exception&) {
    }
    return 0;
}
