#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/ExtHeader.h"
#include "store/TableDirectory.h"
#include "store/TableHeader.h"
#include "store/TableSchema.h"
#include "store/WriteGather.h"
#include "store/processing/StoreProcessing.h"
#include "store/processing/Streams.h"

namespace quorv::store {

class TStoreFileStream;

enum TStoreMediumType : uint8_t { mtDisk = 0, mtMemory = 1 };

// One open database image: its file, the write lock other processes respect, the
// processing settings and the table directory. Every offset taken from the image is
// checked before use; a damaged image raises EDatabaseError, it never crashes.
class TStoreFileIO {
  public:
    TStoreFileIO();
    ~TStoreFileIO();
    TStoreFileIO(const TStoreFileIO&) = delete;
    TStoreFileIO& operator=(const TStoreFileIO&) = delete;

    // Opens and checks the image and loads its settings and directory. Does nothing when
    // already open. A failure leaves nothing open.
    void Open(const std::string& fileName, TStoreMediumType medium = mtDisk, int64_t baseOffset = 0,
              bool readOnly = false, bool exclusive = false);
    void Close();
    bool IsOpen() const { return stream_ != nullptr; }

    // Writes the fixed part of a new, empty database (a disk file is replaced). Answers
    // false on any failure instead of raising.
    static bool CreateDatabaseFile(const std::string& fileName, TStoreMediumType medium,
                                   bool compress, uint8_t compressLevel,
                                   std::string_view compressAlgo, bool encrypt,
                                   std::string_view encryptAlgo, std::string_view password,
                                   bool writeVerify);

    // True when the image is not encrypted or the password matches; a match also keys
    // the cipher.
    bool CheckPassword(std::string_view password);

    // The write lock between processes (one byte at file offset 1). Nested calls count.
    // Retries every LockWaitTime ms; gives up with "Wait for unlock time out" once the
    // failed attempts exceed LockRetryCount (0 waits without limit).
    void Lock();
    void Unlock();
    int32_t LockRetryCount() const { return lockRetryCount_; }
    void SetLockRetryCount(int32_t count) { lockRetryCount_ = count; }
    int32_t LockWaitTime() const { return lockWaitTime_; }
    void SetLockWaitTime(int32_t ms) { lockWaitTime_ = ms; }

    class TWriteLock {
      public:
        explicit TWriteLock(TStoreFileIO& io) : io_(io) { io_.Lock(); }
        ~TWriteLock() { io_.Unlock(); }
        TWriteLock(const TWriteLock&) = delete;
        TWriteLock& operator=(const TWriteLock&) = delete;

      private:
        TStoreFileIO& io_;
    };

    // Writes what is gathered, then syncs the whole file.
    void Flush();
    // The image was written since the last flush (or holds gathered writes).
    bool NeedsFlush() const;

    // While on (a batch under the write lock), writes to a disk image gather in memory and
    // reach the file in offset order, in few large writes, at the next OrderWrites, Flush
    // or DrainWrites, or when much has gathered; reads see them at once. Order among the
    // writes between two syncs is never promised (a power loss may keep any of them), and
    // none of them is visible before the commit that follows a sync. Images that verify
    // their writes by reading them back never gather. Turning it off drains.
    void SetGatherWrites(bool on);
    void DrainWrites();
    // Gathered writes forgotten, as if the process had died before writing them.
    void DropGatheredWrites() noexcept;

    // Appends order their data before the record that makes it visible with a data sync,
    // so a power loss cannot leave a visible record without its data. On by default.
    bool SyncedAppends() const { return syncedAppends_; }
    void SetSyncedAppends(bool on) { syncedAppends_ = on; }
    // Sync point between data and the write that makes it visible (disk images only);
    // gathered writes go first.
    void OrderWrites();

    const TExtHeader& ExtHeader() const { return extHeader_; }
    const TTableDirectory& Directory() const { return directory_; }
    void ReadTableDirectory();
    void WriteTableDirectory();
    // The header of the table at directory position `index`, checked against the image.
    TTableHeader ReadTableHeader(int32_t index);
    void WriteTableHeader(int32_t index, const TTableHeader& header);
    std::vector<std::string> TableNames();
    // Directory position of the table (name compared ignoring case), or -1.
    int32_t FindTable(std::string_view name);

    // Appends the header of a new table and lists it. Invalid descriptions raise their
    // EDatabaseError; false when the table could not be completed.
    bool CreateTable(const std::string& name, const std::vector<TFieldDesc>& fields);
    bool DropTable(const std::string& name);

    // Byte access to the image. Reads outside it raise the damaged-file error; writes
    // need a writable database. Under the write lock the size is asked of the file once
    // and then followed through this object's own writes.
    int64_t ImageSize();
    void ReadAt(int64_t position, void* buffer, int64_t count);
    void WriteAt(int64_t position, const void* buffer, int64_t count);
    // Called before every write to the image; crash tests stop a writer at chosen writes.
    void SetBeforeWriteHook(std::function<void(int64_t position, int64_t count)> hook) {
        beforeWrite_ = std::move(hook);
    }
    // Called before every data sync that orders writes (see OrderWrites).
    void SetBeforeSyncHook(std::function<void()> hook) { beforeSync_ = std::move(hook); }
    // Refuses writes to a read-only database ("Cannot modify a read-only database").
    void CheckWritable() const;
    bool CanWrite() const { return IsOpen() && !readOnly_ && !readOnlyAttribute_; }

    // "Database file '<name>' is damaged: <what>".
    [[noreturn]] void Damaged(const std::string& what) const;
    // "Database file '<name>' has reached its size limit".
    [[noreturn]] void SizeLimitReached() const;

    TStoreProcessing& Processing() { return processing_; }
    void EncodeStream(TMemoryStream& source, TMemoryStream& dest, bool compress, bool encrypt);
    void DecodeStream(TMemoryStream& source, TMemoryStream& dest, bool compress, bool encrypt);
    void EncodeFieldBuffer(const void* source, void* dest, bool encrypt, int32_t size);
    void DecodeFieldBuffer(const void* source, void* dest, bool encrypt, int32_t size);
    void EncodeFieldBuffers(const TCipherMessage* messages, size_t count) {
        processing_.EncodeFieldBuffers(messages, count);
    }
    void DecodeFieldBuffers(const TCipherMessage* messages, size_t count) {
        processing_.DecodeFieldBuffers(messages, count);
    }

    bool ReadOnly() const { return readOnly_; }
    bool ReadOnlyAttribute() const { return readOnlyAttribute_; }

  private:
    void OpenDisk(const std::string& fileName);
    void OpenMemory(const std::string& fileName);
    void CheckIdent(TStream& stream);
    void LoadSettings();
    int64_t HeaderOffset(int32_t index) const;
    // Whether the bytes lie inside the image, asking the file only when they pass the
    // size seen last: images only grow while open.
    bool InsideImage(int64_t position, int64_t count);

    std::string fileName_;
    TStoreMediumType medium_ = mtDisk;
    int64_t baseOffset_ = 0;
    bool exclusive_ = false;
    bool readOnly_ = false;
    bool readOnlyAttribute_ = false;
    bool syncedAppends_ = true;
    std::unique_ptr<TStoreFileStream> disk_;
    TStream* stream_ = nullptr;
    int lockDepth_ = 0;
    // The image size as last seen; under the write lock it is exact. -1: not known.
    int64_t knownSize_ = -1;
    int32_t lockRetryCount_ = 20;
    int32_t lockWaitTime_ = 100;
    // Writes one piece straight to the image.
    void WriteThrough(int64_t position, const void* buffer, int64_t count);

    bool gather_ = false;
    TWriteGather gathered_;
    std::function<void(int64_t, int64_t)> beforeWrite_;
    std::function<void()> beforeSync_;
    TExtHeader extHeader_;
    TTableDirectory directory_;
    TStoreProcessing processing_;
};

}  // namespace quorv::store
