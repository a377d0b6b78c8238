#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"

namespace quorv::store {

class THash;

class EEncryptException : public quorv::Exception {
public:
    EEncryptException(const std::string& message, int code)
        : quorv::Exception(message), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

enum TEncryptMode : uint8_t { emXorFeedback = 0, emCBC = 1, emCFB8 = 2, emOFB8 = 3, emECB = 4 };

// Block cipher with the store's chaining modes. Every stored value is one message that
// starts from Vector; Done() rewinds the chain to it.
class TEncrypt {
public:
    struct Context {
        int32_t BlockSize;
        int32_t MaxKeySize;
        int32_t UserSize;
    };
    static constexpr uint32_t kKeyFromPassword = 1u << 0;
    static constexpr uint32_t kInitialized = 1u << 9;

    virtual ~TEncrypt();
    TEncrypt(const TEncrypt&) = delete;
    TEncrypt& operator=(const TEncrypt&) = delete;

    virtual const char* ClassName() const = 0;

    uint8_t Mode() const { return mode_; }
    void SetMode(uint8_t mode) { mode_ = mode; }
    uint32_t Flags() const { return flags_; }
    void SetFlag(int bit, bool on);
    int32_t BlockSize() const { return ctx_.BlockSize; }
    int32_t MaxKeySize() const { return ctx_.MaxKeySize; }
    int32_t UserSize() const { return ctx_.UserSize; }

    // One block in place.
    virtual void Encode(uint8_t* block) = 0;
    virtual void Decode(uint8_t* block) = 0;

    // Key from raw bytes; ivector null means Vector := E_K(0xFF..).
    void Init(const void* key, int32_t size, const void* ivector);
    // Key from a password: its SHA-0 digest.
    void InitKey(std::string_view key, const void* ivector = nullptr);
    virtual void Done();
    virtual void Protect();

    // Source and dest may be the same buffer.
    void EncodeBuffer(const void* source, void* dest, int32_t size);
    void DecodeBuffer(const void* source, void* dest, int32_t size);

    const std::vector<uint8_t>& Vector() const { return vector_; }
    const std::vector<uint8_t>& Feedback() const { return feedback_; }

protected:
    explicit TEncrypt(const Context& ctx);
    // The cipher's own key schedule over the first size bytes of key (size already clamped).
    virtual void KeySchedule(const uint8_t* key, int32_t size) = 0;

    uint8_t* User() { return user_.data(); }

private:
    Context ctx_;
    uint8_t mode_ = emXorFeedback;
    uint32_t flags_ = 0;
    std::unique_ptr<THash> hash_;
    std::vector<uint8_t> buffer_, vector_, feedback_, user_;
};

}  // namespace quorv::store
