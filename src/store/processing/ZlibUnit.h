#pragma once

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "store/processing/Streams.h"

namespace quorv::store {

// A zlib stream state over another stream, moving data in 64 KiB blocks.
class TCustomZlibStream : public TStream {
  public:
    static constexpr int32_t kBufferSize = 65536;

    ~TCustomZlibStream() override = default;
    TCustomZlibStream(const TCustomZlibStream&) = delete;
    TCustomZlibStream& operator=(const TCustomZlibStream&) = delete;

    // Called whenever a block moves to or from the underlying stream.
    std::function<void(TCustomZlibStream& sender)> OnProgress;

    // Bytes that zlib has taken in and given out so far.
    int64_t TotalIn() const { return static_cast<int64_t>(z_->total_in); }
    int64_t TotalOut() const { return static_cast<int64_t>(z_->total_out); }

    int64_t Size() override;
    void SetSize(int64_t size) override;

  protected:
    explicit TCustomZlibStream(TStream& strm);
    void Progress();

    TStream& strm_;
    z_stream zrec_{};
    z_stream* z_ = &zrec_;  // zrec_, or a state the stream borrows
    // Not zeroed: zlib writes every byte before it is read, and a value of a few bytes
    // would otherwise pay for clearing 64 KiB.
    std::unique_ptr<uint8_t[]> buffer_;
};

// A deflate state kept from one value to the next: setting one up clears some 256 KiB,
// far more work than compressing a small value, and a reset state compresses exactly as
// a new one does.
class TDeflateState {
  public:
    // memLevel as deflateInit2 takes it: the hash table a reset clears, and how many symbols
    // a block holds. Not written to the stream; inflate reads the output the same.
    explicit TDeflateState(int memLevel = 8);
    ~TDeflateState();
    TDeflateState(const TDeflateState&) = delete;
    TDeflateState& operator=(const TDeflateState&) = delete;

    // The state ready for a new stream at zlibLevel; ECompressionError when zlib refuses.
    z_stream& Fresh(int zlibLevel);
    // After a failure the state is set up anew before its next use.
    void Discard();

  private:
    std::unique_ptr<z_stream> z_;  // zlib keeps its address
    int memLevel_;
    bool ready_ = false;
    int level_ = 0;
};

// The same for inflating: a reset state keeps its window instead of clearing a new one.
class TInflateState {
  public:
    TInflateState();
    ~TInflateState();
    TInflateState(const TInflateState&) = delete;
    TInflateState& operator=(const TInflateState&) = delete;

    // The state ready for a new stream; EDecompressionError when zlib refuses.
    z_stream& Fresh();

  private:
    std::unique_ptr<z_stream> z_;  // zlib keeps its address
    bool ready_ = false;
};

// Write-only: what is written is deflated into the underlying stream.
class TCompressionStream : public TCustomZlibStream {
  public:
    // zlibLevel is zlib's own: -1 (default) or 0..9.
    TCompressionStream(int zlibLevel, TStream& dest);
    // The same on a state kept by the caller.
    TCompressionStream(TDeflateState& state, int zlibLevel, TStream& dest);
    ~TCompressionStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    // Only the position query (0 from the current position) is supported.
    int64_t Seek(int64_t offset, SeekOrigin origin) override;

    // Finishes the zlib stream and writes the rest of it; no writes afterwards.
    void Close();

  private:
    void FlushBuffer(size_t count);
    void End();
    void Start();
    [[noreturn]] void Fail();

    bool ended_ = false;
    TDeflateState* state_ = nullptr;
};

// Read-only: reads inflate the zlib stream found at the underlying stream's position.
// A read returns fewer bytes than asked only when the compressed data has run out.
class TDecompressionStream : public TCustomZlibStream {
  public:
    explicit TDecompressionStream(TStream& source);
    // The same on a state kept by the caller.
    TDecompressionStream(TInflateState& state, TStream& source);
    ~TDecompressionStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    // Only the position query (0 from the current position) is supported.
    int64_t Seek(int64_t offset, SeekOrigin origin) override;

    bool StreamEnded() const { return streamEnd_; }

  private:
    bool streamEnd_ = false;
    bool sourceEmpty_ = false;
    bool borrowed_ = false;
};

}  // namespace quorv::store
