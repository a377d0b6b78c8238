#pragma once

#include <cstdint>
#include <string>

#include "store/processing/Streams.h"

namespace quorv::store {

// A database file on disk. Positions are relative to a base offset (0 in this program),
// and the stream remembers whether it was written since its last flush.
class TStoreFileStream : public TStream {
  public:
    enum class Access { ReadOnly, ReadWrite };

    // Opens an existing file. Exclusive keeps every other opener out (flock LOCK_EX);
    // otherwise a shared flock keeps exclusive openers out while this one is open.
    // Raises EDatabaseError "Cannot open file %s" on any failure.
    TStoreFileStream(const std::string& fileName, Access access, bool exclusive);
    ~TStoreFileStream() override;
    TStoreFileStream(const TStoreFileStream&) = delete;
    TStoreFileStream& operator=(const TStoreFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override;
    void SetSize(int64_t size) override;

    // Moves the origin of every position; the position goes back to 0.
    void SetBaseOffset(int64_t base);

    bool Flushed() const { return flushed_; }
    // Writes the file's buffers to the disk.
    void Flush();
    // Orders earlier writes before later ones on the disk (file data only).
    void SyncData();

    // Non-blocking write lock of `length` bytes at a file position (not moved by the base
    // offset). The lock belongs to this open file, so two opens in one process conflict too.
    bool TryLockRange(int64_t position, int64_t length);
    void UnlockRange(int64_t position, int64_t length);

  private:
    int fd_ = -1;
    int64_t base_ = 0;
    int64_t pos_ = 0;
    bool flushed_ = true;
};

}  // namespace quorv::store
