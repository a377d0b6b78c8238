#pragma once

#include <functional>

#include "store/processing/Streams.h"

namespace quorv::store {

// A memo or blob value of a record, read from the file only when first used. Writing
// replaces the value in memory; the cursor stores it on its next post.
class TOptimBlobStream : public TMemoryStream {
  public:
    using Loader = std::function<void(TMemoryStream& dest)>;

    // An empty value with nothing to load.
    TOptimBlobStream() = default;
    explicit TOptimBlobStream(Loader loader) : loader_(std::move(loader)), loaded_(false) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override;
    void SetSize(int64_t size) override;

    // The whole value, loading it if needed.
    const std::vector<uint8_t>& Value();
    // Drops the stored value without reading it (a value about to be replaced).
    void Truncate();

    bool Loaded() const { return loaded_; }
    bool Modified() const { return modified_; }

  private:
    void EnsureLoaded();

    Loader loader_;
    bool loaded_ = true;
    bool modified_ = false;
};

}  // namespace quorv::store
