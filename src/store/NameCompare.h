#pragma once

#include <string_view>

namespace quorv::store {

// Table, field and index names are matched ignoring letter case: ASCII and the
// one-to-one Unicode case mappings of the UTF-8 text, never expansions such as "ß"/"ss".
bool SameName(std::string_view a, std::string_view b);

// A usable table, field or index name: not empty, no character below code 32.
bool IsValidName(std::string_view name);

}  // namespace quorv::store
