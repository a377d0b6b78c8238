#include "store/processing/ProcessMgr.h"

#include <string>

#include "store/processing/ProcessRegistry.h"
#include "store/processing/StoreErrors.h"
#include "store/processing/StoreProcessing.h"

namespace quorv::store {

namespace {

[[noreturn]] void GeneralError() {
    throw EDatabaseError("General error");
}

// Rewinds the cipher chain when an operation ends, also when it fails: a chain left
// advanced would make the next value start from the wrong vector.
class DoneOnExit {
  public:
    explicit DoneOnExit(TEncryptAlgo& algo) : algo_(algo) {}
    ~DoneOnExit() {
        try {
            algo_.Done();
        } catch (...) {
        }
    }
    DoneOnExit(const DoneOnExit&) = delete;
    DoneOnExit& operator=(const DoneOnExit&) = delete;

  private:
    TEncryptAlgo& algo_;
};

template <class Registry>
auto LookUp(const Registry& registry, std::string_view name, const char* format) {
    const int index = registry.Find(name);
    auto entry = registry.At(index);
    if (!entry) {
        std::string text(format);
        text.replace(text.find("%s"), 2, name);
        throw EDatabaseError(text);
    }
    return std::make_pair(index, std::move(*entry));
}

constexpr const char* kCompressNotFound = "Compression algorithm module '%s' not found";
constexpr const char* kEncryptNotFound = "Encryption algorithm module '%s' not found";

}  // namespace

// ---------------------------------------------------------------------------------------------

TDataProcessMgr::TDataProcessMgr(TStoreProcessing* owner) : owner_(owner) {}

TDataProcessMgr::~TDataProcessMgr() = default;

int TDataProcessMgr::FindAlgo(std::string_view) const {
    return -1;
}

TDataProcessAlgo& TDataProcessMgr::RequireAlgo() const {
    if (!algo_) {
        GeneralError();
    }
    return *algo_;
}

void TDataProcessMgr::EncodeData(TStream* source, TStream* dest, int32_t dataSize) {
    RequireAlgo().EncodeData(source, dest, dataSize);
}

void TDataProcessMgr::DecodeData(TStream* source, TStream* dest, int32_t dataSize) {
    RequireAlgo().DecodeData(source, dest, dataSize);
}

// ---------------------------------------------------------------------------------------------

TCompressMgr::TCompressMgr(TStoreProcessing* owner) : TDataProcessMgr(owner) {}

int TCompressMgr::FindAlgo(std::string_view name) const {
    return LookUp(CompressRegistry(), name, kCompressNotFound).first;
}

void TCompressMgr::SetAlgoName(std::string_view name) {
    auto entry = LookUp(CompressRegistry(), name, kCompressNotFound).second;
    if (const TDataProcessAlgo* current = Algo();
        current != nullptr && std::type_index(typeid(*current)) == entry.type) {
        return;
    }
    // The new object is made before the old one goes, so a failure keeps the old one.
    auto algo = entry.create(Owner());
    if (TStoreProcessing* owner = Owner()) {
        algo->OnEncodeProgress = [owner](TStoreProcessing*, int p) { owner->CompressProgress(p); };
        algo->OnDecodeProgress = [owner](TStoreProcessing*, int p) {
            owner->UncompressProgress(p);
        };
    }
    ReplaceAlgo(std::move(algo));
}

// ---------------------------------------------------------------------------------------------

TEncryptMgr::TEncryptMgr(TStoreProcessing* owner) : TDataProcessMgr(owner) {}

int TEncryptMgr::FindAlgo(std::string_view name) const {
    return LookUp(EncryptRegistry(), name, kEncryptNotFound).first;
}

void TEncryptMgr::SetAlgoName(std::string_view name) {
    auto entry = LookUp(EncryptRegistry(), name, kEncryptNotFound).second;
    if (const TDataProcessAlgo* current = Algo();
        current != nullptr && std::type_index(typeid(*current)) == entry.type) {
        return;
    }
    auto algo = entry.create(Owner());
    if (TStoreProcessing* owner = Owner()) {
        algo->OnEncodeProgress = [owner](TStoreProcessing*, int p) { owner->EncryptProgress(p); };
        algo->OnDecodeProgress = [owner](TStoreProcessing*, int p) { owner->DecryptProgress(p); };
    }
    ReplaceAlgo(std::move(algo));
}

TEncryptAlgo& TEncryptMgr::RequireEncryptAlgo() const {
    return static_cast<TEncryptAlgo&>(RequireAlgo());
}

void TEncryptMgr::EncodeData(TStream* source, TStream* dest, int32_t dataSize) {
    TEncryptAlgo& algo = RequireEncryptAlgo();
    DoneOnExit done(algo);
    algo.EncodeData(source, dest, dataSize);
}

void TEncryptMgr::DecodeData(TStream* source, TStream* dest, int32_t dataSize) {
    TEncryptAlgo& algo = RequireEncryptAlgo();
    DoneOnExit done(algo);
    algo.DecodeData(source, dest, dataSize);
}

void TEncryptMgr::EncodeBuffer(const void* source, void* dest, int32_t dataSize) {
    TEncryptAlgo& algo = RequireEncryptAlgo();
    DoneOnExit done(algo);
    algo.EncodeBuffer(source, dest, dataSize);
}

void TEncryptMgr::DecodeBuffer(const void* source, void* dest, int32_t dataSize) {
    TEncryptAlgo& algo = RequireEncryptAlgo();
    DoneOnExit done(algo);
    algo.DecodeBuffer(source, dest, dataSize);
}

void TEncryptMgr::EncodeMessages(const TCipherMessage* messages, size_t count) {
    TEncryptAlgo& algo = RequireEncryptAlgo();
    DoneOnExit done(algo);
    algo.EncodeMessages(messages, count);
}

void TEncryptMgr::DecodeMessages(const TCipherMessage* messages, size_t count) {
    TEncryptAlgo& algo = RequireEncryptAlgo();
    DoneOnExit done(algo);
    algo.DecodeMessages(messages, count);
}

void TEncryptMgr::SetMode(uint8_t mode) {
    RequireEncryptAlgo().SetMode(mode);
}

void TEncryptMgr::InitKey(std::string_view password) {
    RequireEncryptAlgo().InitKey(password);
}

void TEncryptMgr::Done() {
    RequireEncryptAlgo().Done();
}

}  // namespace quorv::store
