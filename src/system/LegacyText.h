#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace quorv::platform {

// Decodes text written either by this program (UTF-8, with or without a BOM), by the
// Windows program on a Korean system (CP949), or by a Windows editor saving "Unicode"
// (UTF-16 with its BOM). nullopt when the bytes are none of these.
std::optional<QString> DecodeUtf8OrCp949(const QByteArray& bytes);

// Whether the bytes start with a UTF-16 byte order mark, so that NUL bytes are expected.
bool IsUtf16WithBom(const QByteArray& bytes);

// CP949 only, through ICU; nullopt on any invalid or unmapped sequence, and on the bytes
// 0x80 and 0xFF, which Windows' table maps to a control and a private-use character.
std::optional<QString> DecodeCp949(const QByteArray& bytes);

}  // namespace quorv::platform
