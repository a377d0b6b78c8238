#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "store/processing/DataProcess.h"

namespace quorv::store {

class TStoreProcessing;

// Holds the algorithm of one kind selected for one database.
class TDataProcessMgr {
  public:
    explicit TDataProcessMgr(TStoreProcessing* owner);
    virtual ~TDataProcessMgr();
    TDataProcessMgr(const TDataProcessMgr&) = delete;
    TDataProcessMgr& operator=(const TDataProcessMgr&) = delete;

    // Index into the manager's registry; the concrete managers fail for an unknown name.
    virtual int FindAlgo(std::string_view name) const;
    // Selects a registered algorithm by name (letter case ignored). Selecting the class
    // already in use keeps the existing object; a failure keeps the previous one.
    virtual void SetAlgoName(std::string_view name) = 0;

    virtual void EncodeData(TStream* source, TStream* dest, int32_t dataSize);
    virtual void DecodeData(TStream* source, TStream* dest, int32_t dataSize);

    TStoreProcessing* Owner() const { return owner_; }
    TDataProcessAlgo* Algo() const { return algo_.get(); }

  protected:
    // The algorithm, or EDatabaseError "General error" when none is selected.
    TDataProcessAlgo& RequireAlgo() const;
    void ReplaceAlgo(std::unique_ptr<TDataProcessAlgo> algo) { algo_ = std::move(algo); }

  private:
    TStoreProcessing* owner_;
    std::unique_ptr<TDataProcessAlgo> algo_;
};

class TCompressMgr : public TDataProcessMgr {
  public:
    explicit TCompressMgr(TStoreProcessing* owner = nullptr);

    int FindAlgo(std::string_view name) const override;
    void SetAlgoName(std::string_view name) override;

    TCompressAlgo* CompressAlgo() const { return static_cast<TCompressAlgo*>(Algo()); }
};

// Every operation ends with Done, so each call enciphers an independent message that
// starts from the cipher's initial vector.
class TEncryptMgr : public TDataProcessMgr {
  public:
    explicit TEncryptMgr(TStoreProcessing* owner = nullptr);

    int FindAlgo(std::string_view name) const override;
    void SetAlgoName(std::string_view name) override;

    void EncodeData(TStream* source, TStream* dest, int32_t dataSize) override;
    void DecodeData(TStream* source, TStream* dest, int32_t dataSize) override;
    virtual void EncodeBuffer(const void* source, void* dest, int32_t dataSize);
    virtual void DecodeBuffer(const void* source, void* dest, int32_t dataSize);
    void EncodeMessages(const TCipherMessage* messages, size_t count);
    void DecodeMessages(const TCipherMessage* messages, size_t count);

    void SetMode(uint8_t mode);
    void InitKey(std::string_view password);
    void Done();

    TEncryptAlgo* EncryptAlgo() const { return static_cast<TEncryptAlgo*>(Algo()); }

  private:
    TEncryptAlgo& RequireEncryptAlgo() const;
};

}  // namespace quorv::store
