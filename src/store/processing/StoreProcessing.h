#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "store/processing/ProcessMgr.h"
#include "store/processing/Streams.h"

namespace quorv::store {

// Progress of the database's compression and encryption, percent 0..100. The database
// supplies these and passes itself as the sender of its own events.
struct TProcessProgressEvents {
    std::function<void(int percent)> OnCompressProgress;
    std::function<void(int percent)> OnUncompressProgress;
    std::function<void(int percent)> OnEncryptProgress;
    std::function<void(int percent)> OnDecryptProgress;
};

// The processing half of the store's file object: its two managers and the lock under
// which every compression and encryption of the database runs.
class TStoreProcessing {
  public:
    TStoreProcessing();
    ~TStoreProcessing();
    TStoreProcessing(const TStoreProcessing&) = delete;
    TStoreProcessing& operator=(const TStoreProcessing&) = delete;

    TCompressMgr& CompressMgr() { return compressMgr_; }
    TEncryptMgr& EncryptMgr() { return encryptMgr_; }

    // The stored image of a memo/blob value: compressed, then enciphered.
    void EncodeStream(TMemoryStream& source, TMemoryStream& dest, bool compress, bool encrypt);
    // The value back from its stored image: deciphered, then decompressed.
    void DecodeStream(TMemoryStream& source, TMemoryStream& dest, bool compress, bool encrypt);
    // A fixed-width field value, enciphered or plainly copied; source and dest may be equal.
    void EncodeFieldBuffer(const void* source, void* dest, bool encrypt, int32_t size);
    void DecodeFieldBuffer(const void* source, void* dest, bool encrypt, int32_t size);
    // Enciphered field values of one record at once (see TEncrypt::EncodeMessages).
    void EncodeFieldBuffers(const TCipherMessage* messages, size_t count);
    void DecodeFieldBuffers(const TCipherMessage* messages, size_t count);

    void SetProgressEvents(TProcessProgressEvents events);

    // The processing lock; recursive, so a progress handler may call back in.
    std::recursive_mutex& Mutex() { return mutex_; }

    // Used by the managers to forward an algorithm's progress to the database.
    void CompressProgress(int percent) const;
    void UncompressProgress(int percent) const;
    void EncryptProgress(int percent) const;
    void DecryptProgress(int percent) const;

  private:
    using Step = std::function<void(TMemoryStream&, TMemoryStream&)>;
    void RunSteps(TMemoryStream& source, TMemoryStream& dest, const Step& first,
                  const Step& second);

    mutable std::recursive_mutex mutex_;
    TProcessProgressEvents events_;
    TCompressMgr compressMgr_;
    TEncryptMgr encryptMgr_;
};

}  // namespace quorv::store
