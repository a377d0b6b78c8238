#include "store/OptimBlobStream.h"

namespace quorv::store {

void TOptimBlobStream::EnsureLoaded() {
    if (loaded_) {
        return;
    }
    TMemoryStream value;
    loader_(value);
    // Only a complete load counts: a failed one is tried again on the next access.
    loaded_ = true;
    LoadFromBuffer(value.Bytes().data(), value.Bytes().size());
}

int64_t TOptimBlobStream::Read(void* buffer, int64_t count) {
    EnsureLoaded();
    return TMemoryStream::Read(buffer, count);
}

int64_t TOptimBlobStream::Write(const void* buffer, int64_t count) {
    EnsureLoaded();
    modified_ = true;
    return TMemoryStream::Write(buffer, count);
}

int64_t TOptimBlobStream::Seek(int64_t offset, SeekOrigin origin) {
    EnsureLoaded();
    return TMemoryStream::Seek(offset, origin);
}

int64_t TOptimBlobStream::Size() {
    EnsureLoaded();
    return TMemoryStream::Size();
}

void TOptimBlobStream::SetSize(int64_t size) {
    EnsureLoaded();
    modified_ = true;
    TMemoryStream::SetSize(size);
}

const std::vector<uint8_t>& TOptimBlobStream::Value() {
    EnsureLoaded();
    return Bytes();
}

void TOptimBlobStream::Truncate() {
    loaded_ = true;
    modified_ = true;
    Clear();
}

}  // namespace quorv::store
