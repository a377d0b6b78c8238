#pragma once

#include <cstdint>
#include <memory>

#include "store/processing/DataProcess.h"

namespace quorv::store {

class TDeflateState;
class TInflateState;

// zlib level for the store's level code: 0 best, 1 zlib's default, 2-3 fastest, above stored.
int ZlibLevelForCode(uint8_t code);

// The "ZLIB" compression. The image of a value of N bytes is empty for N = 0, else i32 N and
// one zlib stream when that stream is shorter than N, else i32 -N and the N bytes as they are.
class TCompAlgo_Zlib : public TCompressAlgo {
  public:
    explicit TCompAlgo_Zlib(TStoreProcessing* owner);
    ~TCompAlgo_Zlib() override;

    void SetLevel(uint8_t level) override { compressLevel_ = level; }
    uint8_t GetLevel() const override { return compressLevel_; }

    // The whole of source, whatever its position and dataSize; dest is replaced by the image.
    void EncodeData(TStream* source, TStream* dest, int32_t dataSize) override;
    // Source holds an image from position 0; dest is replaced by the value.
    void DecodeData(TStream* source, TStream* dest, int32_t dataSize) override;

  private:
    // Runs step from source to dest, or in place when dest is null or source itself.
    void Apply(void (TCompAlgo_Zlib::*step)(TStream&, TStream&), TStream* source, TStream* dest);
    void Encode(TStream& source, TStream& dest);
    void Decode(TStream& source, TStream& dest);

    uint8_t compressLevel_ = 1;
    std::unique_ptr<TDeflateState> deflate_;       // kept between values
    std::unique_ptr<TDeflateState> smallDeflate_;  // the same for short values
    std::unique_ptr<TInflateState> inflate_;
};

}  // namespace quorv::store
