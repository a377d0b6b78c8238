#include "store/MemoryMedium.h"

#include <cstdio>
#include <map>
#include <mutex>

#include "store/processing/StoreErrors.h"

namespace quorv::store {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<uint64_t, TStream*> streams;
    uint64_t next = 1;
};

Registry& TheRegistry() {
    static Registry r;
    return r;
}

std::string NameOf(uint64_t id) {
    char buf[24];
    std::snprintf(buf, sizeof buf, ":%llX", static_cast<unsigned long long>(id));
    return buf;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

std::string TMemoryMedium::Register(TStream* stream) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const auto& [id, s] : r.streams) {
        if (s == stream) {
            return NameOf(id);
        }
    }
    const uint64_t id = r.next++;
    r.streams[id] = stream;
    return NameOf(id);
}

void TMemoryMedium::Unregister(TStream* stream) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto it = r.streams.begin(); it != r.streams.end(); ++it) {
        if (it->second == stream) {
            r.streams.erase(it);
            return;
        }
    }
}

bool TMemoryMedium::IsWellFormed(const std::string& name) {
    if (name.size() < 2 || name[0] != ':') {
        return false;
    }
    for (size_t i = 1; i < name.size(); ++i) {
        if (!IsHexDigit(name[i])) {
            return false;
        }
    }
    return true;
}

TStream* TMemoryMedium::Resolve(const std::string& name) {
    const std::string invalid = "Invalid database name '" + name + "'";
    if (!IsWellFormed(name) || name.size() > 17) {
        throw EDatabaseError(invalid);
    }
    const uint64_t id = std::stoull(name.substr(1), nullptr, 16);
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto it = r.streams.find(id);
    if (it == r.streams.end()) {
        throw EDatabaseError(invalid);
    }
    return it->second;
}

}  // namespace quorv::store
