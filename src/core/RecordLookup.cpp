#include "core/RecordLookup.h"

#include "core/Profile.h"
#include "store/StoreTable.h"

namespace quorv::app {

bool FindByName(store::TStoreTable& table, const std::string& name) {
    if (!table.FindKey(apply::kNameIndex, {name})) {
        return false;
    }
    auto current = [&] { return table.FieldByName("Name").AsString(); };
    if (current() == name) {
        return true;
    }
    // Rare: look at every row rather than rely on how the index orders equal keys.
    for (table.First(); !table.Eof(); table.Next()) {
        if (current() == name) {
            return true;
        }
    }
    return false;
}

}  // namespace quorv::app
