#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <typeindex>
#include <vector>

#include "store/processing/DataProcess.h"

namespace quorv::store {

// A process-wide ordered list of (name, algorithm class). Lookup ignores letter case and
// returns the first match in registration order.
template <class Base>
class TAlgoRegistry {
  public:
    using Factory = std::unique_ptr<Base> (*)(TStoreProcessing* owner);
    struct Entry {
        std::string name;
        std::type_index type;
        Factory create;
    };

    // A class already present keeps its place and only takes the new name.
    void Register(std::type_index type, Factory create, std::string_view name);
    // Index of the first entry named so, or -1.
    int Find(std::string_view name) const;
    std::optional<Entry> At(int index) const;
    std::vector<Entry> Entries() const;

  private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

using TCompressRegistry = TAlgoRegistry<TCompressAlgo>;
using TEncryptRegistry = TAlgoRegistry<TEncryptAlgo>;

// The registries hold "ZLIB", and "Blowfish", "Twofish", "Gost", from their first use on;
// these registrations do not depend on static initialisation of this library.
TCompressRegistry& CompressRegistry();
TEncryptRegistry& EncryptRegistry();

// Names equal ignoring ASCII letter case.
bool SameAlgoName(std::string_view a, std::string_view b);

template <class T>
std::unique_ptr<TCompressAlgo> CreateCompressAlgo(TStoreProcessing* owner) {
    return std::make_unique<T>(owner);
}

template <class T>
std::unique_ptr<TEncryptAlgo> CreateEncryptAlgo(TStoreProcessing* owner) {
    return std::make_unique<T>(owner);
}

template <class T>
void RegisterCompressAlgo(std::string_view name) {
    CompressRegistry().Register(typeid(T), &CreateCompressAlgo<T>, name);
}

template <class T>
void RegisterEncryptAlgo(std::string_view name) {
    EncryptRegistry().Register(typeid(T), &CreateEncryptAlgo<T>, name);
}

}  // namespace quorv::store
