#pragma once

#include <memory>
#include <string_view>

#include "store/processing/DataProcess.h"
#include "store/processing/EncryptBase.h"

namespace quorv::store {

// An encryption algorithm that maps every operation onto one cipher object it owns.
class TEncAlgo_Base : public TEncryptAlgo {
  public:
    ~TEncAlgo_Base() override;

    void SetMode(uint8_t mode) override { cipher_->SetMode(mode); }
    uint8_t GetMode() const override { return cipher_->Mode(); }
    void InitKey(std::string_view key) override { cipher_->InitKey(key); }
    void Done() override { cipher_->Done(); }
    void EncodeBuffer(const void* source, void* dest, int32_t dataSize) override;
    void DecodeBuffer(const void* source, void* dest, int32_t dataSize) override;
    void EncodeMessages(const TCipherMessage* messages, size_t count) override {
        cipher_->EncodeMessages(messages, count);
    }
    void DecodeMessages(const TCipherMessage* messages, size_t count) override {
        cipher_->DecodeMessages(messages, count);
    }

    TEncrypt& Cipher() const { return *cipher_; }

  protected:
    // The cipher comes from the concrete algorithm, which alone knows its class.
    TEncAlgo_Base(TStoreProcessing* owner, std::unique_ptr<TEncrypt> cipher);

  private:
    std::unique_ptr<TEncrypt> cipher_;
};

class TEncAlgo_Gost : public TEncAlgo_Base {
  public:
    explicit TEncAlgo_Gost(TStoreProcessing* owner);
};

class TEncAlgo_Blowfish : public TEncAlgo_Base {
  public:
    explicit TEncAlgo_Blowfish(TStoreProcessing* owner);
};

class TEncAlgo_Twofish : public TEncAlgo_Base {
  public:
    explicit TEncAlgo_Twofish(TStoreProcessing* owner);
};

}  // namespace quorv::store
