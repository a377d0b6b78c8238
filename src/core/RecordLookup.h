#pragma once

#include <string>

namespace quorv::store {
class TStoreTable;
}

namespace quorv::app {

// Positions the cursor on the row whose Name is exactly `name`, through FindKey on
// idxName. The collation takes some distinct texts for equal (characters it ignores,
// differently composed letters), so a row the index finds must also match byte for byte.
// False when there is no such row; the cursor may then have moved.
bool FindByName(store::TStoreTable& table, const std::string& name);

}  // namespace quorv::app
