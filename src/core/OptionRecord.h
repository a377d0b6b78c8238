#pragma once

#include <string>

#include "core/Options.h"

namespace quorv::store {
class TStoreTable;
}

namespace quorv::app {

// The value of the option row with that key (exact, case-sensitive), or nullopt when
// tblOption has none. Moves the option cursor onto the row found.
apply::OptionValue ReadOption(store::TStoreTable& options, const std::string& key);

// Sets the option row's value, adding the row when it is missing; key and value are cut
// to the column width. Posts the row.
void WriteOption(store::TStoreTable& options, const std::string& key, const std::string& value);

// Adds each default option row that is missing, in the fixed order. An existing row is
// never changed, whatever its value.
void AddMissingOptions(store::TStoreTable& options);

}  // namespace quorv::app
