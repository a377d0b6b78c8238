#pragma once

namespace quorv::store {

class TStoreTable;
class TStoreTableIO;

// Many writes to one table as one commit. While the batch is open this process holds the
// database's write lock; records appended through any cursor of the table are written
// whole but stay invisible to other openers, and Commit makes them visible together with
// one data sync before the record count and one flush after it, instead of a sync per
// record. A crash or kill before the commit leaves the table as it was before the batch
// (the dead bytes and index links are passed over and mended as after any interrupted
// append). A modify that moves no index key is switched to at the commit as well (the
// old version stays until then); other modifies and deletes keep their own ordering sync.
class TStoreBatch {
  public:
    explicit TStoreBatch(TStoreTableIO& table);
    // The table of an open cursor.
    explicit TStoreBatch(TStoreTable& cursor);
    // Abandons what was not committed.
    ~TStoreBatch();
    TStoreBatch(const TStoreBatch&) = delete;
    TStoreBatch& operator=(const TStoreBatch&) = delete;

    // Makes the appended records visible and durable and ends the batch; a failure ends it
    // too, with the appends since the last commit gone.
    void Commit();
    bool Open() const { return open_; }

  private:
    TStoreTableIO& table_;
    bool open_ = true;
};

}  // namespace quorv::store
