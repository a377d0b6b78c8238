#include "store/StoreFileStream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

// Repeats a pread or pwrite (given the bytes moved so far) until count bytes have moved,
// the file ends or the call fails; interrupted calls are retried.
template <typename Call>
int64_t Transfer(int64_t count, Call call) {
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = call(done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += n;
    }
    return done;
}

bool SetRangeLock(int fd, short type, int64_t position, int64_t length) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = position;
    fl.l_len = length;
    return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

}  // namespace

TStoreFileStream::TStoreFileStream(const std::string& fileName, Access access, bool exclusive) {
    const int flags = (access == Access::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    fd_ = ::open(fileName.c_str(), flags);
    if (fd_ < 0) {
        throw EDatabaseError("Cannot open file " + fileName);
    }
    if (::flock(fd_, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
        throw EDatabaseError("Cannot open file " + fileName);
    }
}

TStoreFileStream::~TStoreFileStream() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int64_t TStoreFileStream::Read(void* buffer, int64_t count) {
    auto* p = static_cast<uint8_t*>(buffer);
    const int64_t done = Transfer(count, [&](int64_t done) {
        return ::pread(fd_, p + done, static_cast<size_t>(count - done), base_ + pos_ + done);
    });
    pos_ += done;
    return done;
}

int64_t TStoreFileStream::Write(const void* buffer, int64_t count) {
    const auto* p = static_cast<const uint8_t*>(buffer);
    const int64_t done = Transfer(count, [&](int64_t done) {
        return ::pwrite(fd_, p + done, static_cast<size_t>(count - done), base_ + pos_ + done);
    });
    pos_ += done;
    if (done > 0) {
        flushed_ = false;
    }
    return done;
}

int64_t TStoreFileStream::Seek(int64_t offset, SeekOrigin origin) {
    // The base offset is added to every position, and the result never goes below it.
    pos_ = SeekTarget(pos_, offset, origin);
    return pos_;
}

int64_t TStoreFileStream::Size() {
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    return end < 0 ? 0 : std::max<int64_t>(0, end - base_);
}

void TStoreFileStream::SetSize(int64_t size) {
    if (::ftruncate(fd_, base_ + std::max<int64_t>(0, size)) != 0) {
        throw EWriteError(errno);
    }
    flushed_ = false;
}

void TStoreFileStream::SetBaseOffset(int64_t base) {
    base_ = std::max<int64_t>(0, base);
    pos_ = 0;
}

void TStoreFileStream::Flush() {
    ::fsync(fd_);
    flushed_ = true;
}

void TStoreFileStream::SyncData() {
    ::fdatasync(fd_);
}

bool TStoreFileStream::TryLockRange(int64_t position, int64_t length) {
    return SetRangeLock(fd_, F_WRLCK, position, length);
}

void TStoreFileStream::UnlockRange(int64_t position, int64_t length) {
    SetRangeLock(fd_, F_UNLCK, position, length);
}

}  // namespace quorv::store
