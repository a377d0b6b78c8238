#pragma once

#include <stdexcept>
#include <string>

#include "StoreTestUtil.h"
#include "store/StoreIndexes.h"

namespace quorv::store::test {

// A table of an existing file as another program opens it: the file unlocked with the
// program's password, the table loaded and its indexes kept with it.
struct IndexedTable {
    IndexedTable(const std::string& path, const std::string& name)
        : table(Opened(io, path), name), indexes(table) {
        table.Open();
    }

    TStoreFileIO io;
    TStoreTableIO table;
    TStoreIndexes indexes;

  private:
    static TStoreFileIO& Opened(TStoreFileIO& io, const std::string& path) {
        io.Open(path);
        if (!io.CheckPassword(kPassword)) {
            throw std::runtime_error("the test password does not open " + path);
        }
        return io;
    }
};

}  // namespace quorv::store::test
