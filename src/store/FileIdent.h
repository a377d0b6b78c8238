#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "store/FileLayout.h"

namespace quorv::store {

// The first 12 bytes of a database image: magic and format version.
struct TFileIdent {
    static constexpr char kMagic[] = "TinyDB";
    static constexpr char kVersion[] = "2.0";

    std::array<uint8_t, kFileIdentSize> bytes{};

    // A new file's ident: the magic, NUL, "2.0".
    static TFileIdent Current();
    static TFileIdent DecodeFrom(const uint8_t* src);
    void EncodeTo(uint8_t* dst) const;

    bool HasMagic() const;
    std::string Version() const;
};

// Raises the open failure a version text calls for: "1.00" and anything above "2.0".
void CheckFileVersion(const std::string& version);

}  // namespace quorv::store
