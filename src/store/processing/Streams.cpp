#include "store/processing/Streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "store/processing/StoreErrors.h"

namespace quorv::store {

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count > 0 && Read(buffer, count) != count) {
        throw EReadError();
    }
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    errno = 0;
    if (count > 0 && Write(buffer, count) != count) {
        throw EWriteError(errno);
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr int64_t kChunk = 65536;
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min(count, kChunk)));
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min(left, kChunk);
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        left -= n;
    }
    return count;
}

int64_t TStream::SeekTarget(int64_t current, int64_t offset, SeekOrigin origin) {
    int64_t base = 0;
    if (origin == SeekOrigin::Current) {
        base = current;
    } else if (origin == SeekOrigin::End) {
        base = Size();
    }
    return std::max<int64_t>(0, base + offset);
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t size = Size();
    if (count <= 0 || pos_ >= size) {
        return 0;
    }
    const int64_t n = std::min(count, size - pos_);
    std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) {
        return 0;
    }
    const int64_t end = pos_ + count;
    if (end > Size()) {
        data_.resize(static_cast<size_t>(end));
    }
    std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
    pos_ = SeekTarget(pos_, offset, origin);
    return pos_;
}

void TMemoryStream::SetSize(int64_t size) {
    data_.resize(static_cast<size_t>(std::max<int64_t>(0, size)));
    pos_ = std::min(pos_, Size());
}

void TMemoryStream::Clear() {
    data_.clear();
    pos_ = 0;
}

std::vector<uint8_t> TMemoryStream::TakeBytes() {
    pos_ = 0;
    return std::exchange(data_, {});
}

void TMemoryStream::LoadFromBuffer(const void* buffer, size_t size) {
    const auto* p = static_cast<const uint8_t*>(buffer);
    data_.assign(p, p + size);
    pos_ = 0;
}

}  // namespace quorv::store
