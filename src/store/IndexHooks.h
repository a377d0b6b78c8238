#pragma once

#include <cstdint>

namespace quorv::store {

class TStoreTableIO;
class TFieldBuffers;

// What the index layer does at the storage object's loads and writes. Every write call
// comes under the database's write lock.
class TStoreIndexHooks {
  public:
    virtual ~TStoreIndexHooks() = default;

    // After the record tab and the physical order are loaded (and after every reload).
    virtual void TableLoaded(TStoreTableIO& /*table*/) {}
    virtual void TableReleased(TStoreTableIO& /*table*/) {}
    // Before anything is written; raises "Invalid unique field value '%s'" on a clash.
    // recNo is the record being modified, or -1 for an append.
    virtual void CheckUnique(TStoreTableIO& /*table*/, const TFieldBuffers& /*values*/,
                             int32_t /*recNo*/) {}
    // Before every append, modify and delete, after the unique check: puts right what an
    // interrupted write left, so that no write leaves the file less sound than it found it.
    virtual void BeforeWrite(TStoreTableIO& /*table*/) {}
    // A new record's data and record-tab entry are written, but the record-tab count that
    // makes it visible is not yet: index entries written now must be linked so that a
    // crash before that count is written leaves a chain readers can walk past recNo
    // (loading skips record numbers at or above the record-tab count).
    virtual void RecordAdded(TStoreTableIO& /*table*/, int32_t /*recNo*/, int32_t /*dataOffset*/) {}
    // The record's new values are about to be written (after the unique check). An index
    // whose key moves unlinks the record now, so that a crash before it is linked again
    // leaves a list that misses the record, which loading notices, rather than one that
    // holds it out of order.
    virtual void RecordModifying(TStoreTableIO& /*table*/, const TFieldBuffers& /*values*/,
                                 int32_t /*recNo*/) {}
    // After RecordModifying: whether an index unlinked the record to link it again at its
    // new key, so the switch to the new version may not wait (see TStoreTableIO::ModifyRecord).
    virtual bool Detached(const TStoreTableIO& /*table*/, int32_t /*recNo*/) const { return false; }
    // The record's new version is written and its entry (and the in-memory copy of the
    // table) gives its new data offset.
    virtual void RecordModified(TStoreTableIO& /*table*/, int32_t /*recNo*/) {}
    // The record is flagged deleted and gone from the physical order.
    virtual void RecordDeleted(TStoreTableIO& /*table*/, int32_t /*recNo*/) {}
};

}  // namespace quorv::store
