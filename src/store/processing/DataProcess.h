#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "store/processing/Streams.h"

namespace quorv::store {

class TStoreProcessing;
struct TCipherMessage;

// Progress of one algorithm: (sender, percent 0..100). The sender is the algorithm's owner.
using TOnProgressEvent = std::function<void(TStoreProcessing* sender, int percent)>;

// current / total * 100 in floating point, rounded half to even; 0 when total is 0.
int ProgressPercent(int64_t current, int64_t total);

// One compression or encryption algorithm, created by a manager from a registry entry.
class TDataProcessAlgo {
  public:
    explicit TDataProcessAlgo(TStoreProcessing* owner) : owner_(owner) {}
    virtual ~TDataProcessAlgo() = default;
    TDataProcessAlgo(const TDataProcessAlgo&) = delete;
    TDataProcessAlgo& operator=(const TDataProcessAlgo&) = delete;

    virtual void EncodeData(TStream* source, TStream* dest, int32_t dataSize) = 0;
    virtual void DecodeData(TStream* source, TStream* dest, int32_t dataSize) = 0;

    TStoreProcessing* Owner() const { return owner_; }

    TOnProgressEvent OnEncodeProgress;
    TOnProgressEvent OnDecodeProgress;

    void DoEncodeProgress(int percent);
    void DoDecodeProgress(int percent);

  private:
    TStoreProcessing* owner_;
};

class TCompressAlgo : public TDataProcessAlgo {
  public:
    using TDataProcessAlgo::TDataProcessAlgo;

    virtual void SetLevel(uint8_t /*level*/) {}
    virtual uint8_t GetLevel() const { return 1; }
};

// Encryption on top of a buffer transform. The stream operations work in 4096-byte pieces
// without resetting the cipher chain, so they equal one buffer call over all the bytes.
class TEncryptAlgo : public TDataProcessAlgo {
  public:
    static constexpr int32_t kChunkSize = 4096;

    using TDataProcessAlgo::TDataProcessAlgo;

    virtual void SetMode(uint8_t /*mode*/) {}
    virtual uint8_t GetMode() const { return 0; }
    virtual void InitKey(std::string_view key) = 0;
    virtual void Done() {}
    // Source and dest may be the same buffer.
    virtual void EncodeBuffer(const void* source, void* dest, int32_t dataSize) = 0;
    virtual void DecodeBuffer(const void* source, void* dest, int32_t dataSize) = 0;
    // Independent messages, each as a buffer call followed by Done.
    virtual void EncodeMessages(const TCipherMessage* messages, size_t count);
    virtual void DecodeMessages(const TCipherMessage* messages, size_t count);

    // A null dest processes source in place; a negative size means all of source from 0.
    void EncodeData(TStream* source, TStream* dest, int32_t dataSize) override;
    void DecodeData(TStream* source, TStream* dest, int32_t dataSize) override;

  private:
    void ProcessData(TStream* source, TStream* dest, int32_t dataSize, bool encode);
};

}  // namespace quorv::store
