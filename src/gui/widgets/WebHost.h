#pragma once

#include <QString>

namespace quorv::widgets {

// The maker's web host with its scheme ("https://www.quorv.example"), fixed at build time.
QString WebHost();
// The host alone, as people read it ("www.quorv.example").
QString WebHostName();
// An address on the web host: path and query start with "/".
QString WebAddress(const char* pathAndQuery);

}  // namespace quorv::widgets
