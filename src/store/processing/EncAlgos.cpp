#include "store/processing/EncAlgos.h"

#include "store/processing/Enc_Blowfish.h"
#include "store/processing/Enc_Gost.h"
#include "store/processing/Enc_Twofish.h"

namespace quorv::store {

TEncAlgo_Base::TEncAlgo_Base(TStoreProcessing* owner, std::unique_ptr<TEncrypt> cipher)
    : TEncryptAlgo(owner), cipher_(std::move(cipher)) {}

TEncAlgo_Base::~TEncAlgo_Base() = default;

void TEncAlgo_Base::EncodeBuffer(const void* source, void* dest, int32_t dataSize) {
    cipher_->EncodeBuffer(source, dest, dataSize);
}

void TEncAlgo_Base::DecodeBuffer(const void* source, void* dest, int32_t dataSize) {
    cipher_->DecodeBuffer(source, dest, dataSize);
}

TEncAlgo_Gost::TEncAlgo_Gost(TStoreProcessing* owner)
    : TEncAlgo_Base(owner, std::make_unique<TEnc_Gost>()) {}

TEncAlgo_Blowfish::TEncAlgo_Blowfish(TStoreProcessing* owner)
    : TEncAlgo_Base(owner, std::make_unique<TEnc_Blowfish>()) {}

TEncAlgo_Twofish::TEncAlgo_Twofish(TStoreProcessing* owner)
    : TEncAlgo_Base(owner, std::make_unique<TEnc_Twofish>()) {}

}  // namespace quorv::store
