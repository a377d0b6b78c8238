#include "store/processing/ProcessRegistry.h"

#include "store/processing/Compress_Zlib.h"
#include "store/processing/EncAlgos.h"

namespace quorv::store {

namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool SameAlgoName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

template <class Base>
void TAlgoRegistry<Base>::Register(std::type_index type, Factory create, std::string_view name) {
    std::lock_guard lock(mutex_);
    for (Entry& e : entries_) {
        if (e.type == type) {
            e.name = std::string(name);
            return;
        }
    }
    entries_.push_back(Entry{std::string(name), type, create});
}

template <class Base>
int TAlgoRegistry<Base>::Find(std::string_view name) const {
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (SameAlgoName(entries_[i].name, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

template <class Base>
auto TAlgoRegistry<Base>::At(int index) const -> std::optional<Entry> {
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) {
        return std::nullopt;
    }
    return entries_[static_cast<size_t>(index)];
}

template <class Base>
auto TAlgoRegistry<Base>::Entries() const -> std::vector<Entry> {
    std::lock_guard lock(mutex_);
    return entries_;
}

template class TAlgoRegistry<TCompressAlgo>;
template class TAlgoRegistry<TEncryptAlgo>;

// Never destroyed: managers of databases still open at exit may look names up.
TCompressRegistry& CompressRegistry() {
    static TCompressRegistry* registry = [] {
        auto* r = new TCompressRegistry;
        r->Register(typeid(TCompAlgo_Zlib), &CreateCompressAlgo<TCompAlgo_Zlib>, "ZLIB");
        return r;
    }();
    return *registry;
}

TEncryptRegistry& EncryptRegistry() {
    static TEncryptRegistry* registry = [] {
        auto* r = new TEncryptRegistry;
        r->Register(typeid(TEncAlgo_Blowfish), &CreateEncryptAlgo<TEncAlgo_Blowfish>, "Blowfish");
        r->Register(typeid(TEncAlgo_Twofish), &CreateEncryptAlgo<TEncAlgo_Twofish>, "Twofish");
        r->Register(typeid(TEncAlgo_Gost), &CreateEncryptAlgo<TEncAlgo_Gost>, "Gost");
        return r;
    }();
    return *registry;
}

}  // namespace quorv::store
