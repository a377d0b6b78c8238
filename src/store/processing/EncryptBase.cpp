#include "store/processing/EncryptBase.h"

#include <algorithm>

#include "store/processing/HashBase.h"
#include "store/processing/Hash_SHA.h"

namespace quorv::store {

// The key schedule lives in the cipher object, which wipes it: its constructor and
// destructor run Protect while that storage is alive.
TEncrypt::TEncrypt(const Context& ctx, uint8_t* user)
    : ctx_(ctx), vector_(ctx.BlockSize, 0xFF), feedback_(ctx.BlockSize, 0xFF), user_(user) {}

TEncrypt::~TEncrypt() = default;

void TEncrypt::SetFlag(int bit, bool on) {
    if (bit < 0 || bit > 31) {
        return;
    }
    if (on) {
        flags_ |= 1u << bit;
    } else {
        flags_ &= ~(1u << bit);
    }
}

void TEncrypt::Protect() {
    flags_ &= ~(kKeyFromPassword | kInitialized);
    std::fill(vector_.begin(), vector_.end(), 0xFF);
    std::fill(feedback_.begin(), feedback_.end(), 0xFF);
    SecureZero(user_, static_cast<size_t>(ctx_.UserSize));
}

void TEncrypt::Done() {
    feedback_ = vector_;
}

void TEncrypt::Init(const void* key, int32_t size, const void* ivector) {
    flags_ &= ~kInitialized;
    Protect();
    size = std::clamp(size, 0, ctx_.MaxKeySize);
    if (key == nullptr) {
        size = 0;
    }
    KeySchedule(static_cast<const uint8_t*>(key), size);
    if (ivector != nullptr) {
        std::memcpy(vector_.data(), ivector, vector_.size());
    } else {
        Encode(vector_.data());
    }
    feedback_ = vector_;
    flags_ |= kInitialized;
}

void TEncrypt::InitKey(std::string_view key, const void* ivector) {
    if (!hash_) {
        hash_ = std::make_unique<THash_SHA>();
    }
    hash_->Reset();
    hash_->Update(key.data(), key.size());
    hash_->Final();
    uint8_t* digest = hash_->Digest();
    const int32_t digestSize = hash_->DigestSize();
    Init(digest, std::min(ctx_.MaxKeySize, digestSize), ivector);
    // No plain copy of the key stays behind in the hash object.
    EncodeBuffer(digest, digest, digestSize);
    Done();
    flags_ |= kKeyFromPassword;
}

void TEncrypt::CheckInitialized() const {
    if (!(flags_ & kInitialized)) {
        throw EEncryptException(
            std::string(ClassName()) + " is not initialized call Init() or InitKey() before.",
            kErrNotInitialized);
    }
}

void TEncrypt::ThrowBadMode() const {
    throw EEncryptException(
        std::string(ClassName()) + ": unknown cipher mode " + std::to_string(int(mode_)),
        kErrBadMode);
}

void TEncrypt::EncodeBuffer(const void* source, void* dest, int32_t size) {
    CheckInitialized();
    if (size > 0) {
        ChainEncode(static_cast<const uint8_t*>(source), static_cast<uint8_t*>(dest),
                    static_cast<size_t>(size));
    }
}

void TEncrypt::DecodeBuffer(const void* source, void* dest, int32_t size) {
    CheckInitialized();
    if (size > 0) {
        ChainDecode(static_cast<const uint8_t*>(source), static_cast<uint8_t*>(dest),
                    static_cast<size_t>(size));
    }
}

void TEncrypt::EncodeMessages(const TCipherMessage* messages, size_t count) {
    CheckInitialized();
    if (count > 0) {
        ChainMessages(messages, count, false);
    }
}

void TEncrypt::DecodeMessages(const TCipherMessage* messages, size_t count) {
    CheckInitialized();
    if (count > 0) {
        ChainMessages(messages, count, true);
    }
}

}  // namespace quorv::store
