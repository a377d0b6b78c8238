#pragma once

namespace quorv::store {
class TStoreFileIO;
class TStoreTable;
}  // namespace quorv::store

namespace quorv::app {

// Holds the data file's write lock (the one other programs respect) for a scope, and
// takes the cursor's table from the file again under it. A look-up made inside the scope
// and the write that depends on it are then one step: no other program can add the same
// name in between. Raises the store's error when the file cannot be written.
class TableWriteLock {
  public:
    explicit TableWriteLock(store::TStoreTable& table);
    ~TableWriteLock();
    TableWriteLock(const TableWriteLock&) = delete;
    TableWriteLock& operator=(const TableWriteLock&) = delete;

  private:
    store::TStoreFileIO& file_;
};

}  // namespace quorv::app
