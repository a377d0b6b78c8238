#include "store/processing/HashBase.h"

namespace quorv::store {

void SecureZero(void* data, size_t length) {
    volatile uint8_t* p = static_cast<volatile uint8_t*>(data);
    while (length--) {
        *p++ = 0;
    }
}

}  // namespace quorv::store
