#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace quorv::platform {

// Decodes text written either by this program (UTF-8, with or without a BOM) or by the
// Windows program on a Korean system (CP949). nullopt when the bytes are neither.
std::optional<QString> DecodeUtf8OrCp949(const QByteArray& bytes);

// CP949 only, through ICU; nullopt on any invalid or unmapped sequence.
std::optional<QString> DecodeCp949(const QByteArray& bytes);

}  // namespace quorv::platform
