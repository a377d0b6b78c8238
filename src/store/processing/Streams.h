#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorv::store {

enum class SeekOrigin { Begin, Current, End };

// Byte stream with a position, in the manner the store's processing steps expect.
class TStream {
  public:
    virtual ~TStream() = default;

    // Reads or writes at most count bytes at the position; returns how many moved.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
    virtual int64_t Size() = 0;
    virtual void SetSize(int64_t size) = 0;

    int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(int64_t pos) { Seek(pos, SeekOrigin::Begin); }

    // Exactly count bytes or EReadError / EWriteError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);

    // Copies count bytes from source's position; count 0 copies all of source from its start.
    int64_t CopyFrom(TStream& source, int64_t count);

  protected:
    // The position a Seek from current asks for, never below 0.
    int64_t SeekTarget(int64_t current, int64_t offset, SeekOrigin origin);
};

class TMemoryStream : public TStream {
  public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t size) override;

    void Clear();
    uint8_t* Memory() { return data_.data(); }
    const std::vector<uint8_t>& Bytes() const { return data_; }
    std::vector<uint8_t> TakeBytes();
    void LoadFromBuffer(const void* buffer, size_t size);

  private:
    std::vector<uint8_t> data_;
    int64_t pos_ = 0;
};

}  // namespace quorv::store
