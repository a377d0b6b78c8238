#include "store/FileIdent.h"

#include <cstring>

#include "store/Coding.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {

TFileIdent TFileIdent::Current() {
    TFileIdent id;
    std::memcpy(id.bytes.data(), kMagic, 6);
    std::memcpy(id.bytes.data() + 7, kVersion, 3);
    return id;
}

TFileIdent TFileIdent::DecodeFrom(const uint8_t* src) {
    TFileIdent id;
    std::memcpy(id.bytes.data(), src, id.bytes.size());
    return id;
}

void TFileIdent::EncodeTo(uint8_t* dst) const {
    std::memcpy(dst, bytes.data(), bytes.size());
}

bool TFileIdent::HasMagic() const {
    return DecodeFixedName(bytes.data(), 7) == kMagic;
}

std::string TFileIdent::Version() const {
    return DecodeFixedName(bytes.data() + 7, 5);
}

void CheckFileVersion(const std::string& version) {
    if (version == "1.00") {
        throw EDatabaseError("Version 1.00 is not compatible");
    }
    if (version.compare(TFileIdent::kVersion) > 0) {
        throw EDatabaseError("Version of database file is too High");
    }
}

}  // namespace quorv::store
