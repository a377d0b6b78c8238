#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/FieldDefs.h"
#include "store/IndexHooks.h"
#include "store/IndexSearch.h"
#include "store/KeyCompare.h"
#include "store/StoreTableIO.h"

namespace quorv::store {

class TStoreFileIO;

// The indexes of one table: per index an in-memory order of the live records, and on
// disk a linked list threaded through the index tab. It follows the table's storage
// object through the hooks that object calls, so every append, key change and delete
// keeps both in step.
//
// Loading never trusts the file: every block offset and link is checked, every walk is
// bounded and visits an entry at most once, and an order that does not reach every live
// record exactly once is rebuilt by sorting. The on-disk list is then rewritten as a
// fresh tab at the end of the file at the next write; the damaged blocks are never
// written to.
class TStoreIndexes : public TStoreIndexHooks {
  public:
    // Attaches itself to the table's hooks for its lifetime.
    explicit TStoreIndexes(TStoreTableIO& table);
    ~TStoreIndexes() override;
    TStoreIndexes(const TStoreIndexes&) = delete;
    TStoreIndexes& operator=(const TStoreIndexes&) = delete;

    TStoreTableIO& Table() { return table_; }
    int32_t Count() const { return static_cast<int32_t>(indexes_.size()); }
    const TStoreIndexDef& Def(int32_t index) const;
    // Index number by name (ignoring case), or -1.
    int32_t IndexOf(std::string_view name) const;
    // The first index with tiPrimary, or -1.
    int32_t PrimaryIndex() const;

    // An order: -1 is the physical order, 0.. the indexes.
    const TRecordList& Order(int32_t order) const;
    int32_t PositionOf(int32_t order, int32_t recNo) const;
    // Where the last append or key change placed its record in an order.
    int32_t LastPlaced(int32_t order) const;
    // The index-tab blocks in use, in chain order.
    const std::vector<int32_t>& Blocks(int32_t index) const {
        return indexes_.at(static_cast<size_t>(index)).Blocks;
    }
    // Changes with every write through this table and every reload.
    uint64_t Changes() const { return changes_; }

    // Orders `key` (its first nFields values) against a stored record: -1 when the key
    // sorts before it. Descending indexes give the reversed answer.
    int CompareKey(int32_t index, const TKeyValues& key, const TRecordItem& item, int32_t nFields,
                   bool partial = false);
    // The first (or last) record equal to the key over its first nFields fields.
    TSearchResult FindKey(int32_t index, const TKeyValues& key, int32_t nFields, bool last,
                          bool partial = false);
    // The key of a stored record.
    TKeyValues ReadKey(int32_t index, const TRecordItem& item);

    // One native field value of a stored record (see TKeyValues), read and deciphered.
    const std::string& FieldValue(int32_t field, const TRecordItem& item);

    // Walks every index's list on disk as a fresh reader would and compares it with the
    // live records and their keys; one line per problem, none when sound.
    std::vector<std::string> Verify();

    void TableLoaded(TStoreTableIO& table) override;
    void TableReleased(TStoreTableIO& table) override;
    void CheckUnique(TStoreTableIO& table, const TFieldBuffers& values, int32_t recNo) override;
    void BeforeWrite(TStoreTableIO& table) override;
    void RecordAdded(TStoreTableIO& table, int32_t recNo, int32_t dataOffset) override;
    void RecordModifying(TStoreTableIO& table, const TFieldBuffers& values, int32_t recNo) override;
    bool Detached(const TStoreTableIO& table, int32_t recNo) const override;
    void RecordModified(TStoreTableIO& table, int32_t recNo) override;
    void RecordDeleted(TStoreTableIO& table, int32_t recNo) override;

  private:
    struct TIndexState {
        TStoreIndexDef Def;
        TRecordList List;
        std::vector<int32_t> Blocks;  // index-tab blocks in chain order
        bool NeedsRewrite = false;    // the on-disk list is not to be trusted
        int32_t LastPlaced = -1;
        int32_t Detached = -1;  // a record taken out of the list until its new key is written
    };
    struct TChainWalk {
        TRecordList List;
        std::vector<int32_t> Blocks;
        std::vector<std::string> Problems;
    };
    struct TCachedValue {
        std::string Value;
        bool Valid = false;
    };

    TChainWalk WalkChain(int32_t index, const std::vector<uint8_t>& live);
    TCachedValue& CacheEntry(int32_t field, int32_t recNo);
    // Keeps a fixed-width value given by its deciphered bytes.
    const std::string& Keep(TCachedValue& entry, int32_t field, std::string raw);
    void SortByKey(int32_t index, TRecordList& list);
    TKeyValues KeyFromValues(int32_t index, const TFieldBuffers& values, int32_t recNo);
    std::string RenderKey(int32_t index, const TKeyValues& key) const;
    void RewriteTab(int32_t index);
    void EnsureBlockFor(int32_t index, int32_t recNo);
    int64_t EntryPosition(int32_t index, int32_t recNo) const;
    void WriteEntry(int32_t index, int32_t recNo, int32_t next);
    int32_t ReadNext(int32_t index, int32_t recNo);
    void WriteIndexItem(int32_t index);
    void SetHead(int32_t index, int32_t head);
    // Puts recNo into the on-disk list after the live record `before` (-1: at the head).
    void LinkAfter(int32_t index, int32_t recNo, int32_t before);
    // The same when the list's link after `before` has just been read as `next`.
    void LinkAfter(int32_t index, int32_t recNo, int32_t before, int32_t next);
    void Unlink(int32_t index, int32_t recNo, int32_t before);
    // Whether the on-disk list leads from `from` to `target` through records that are not
    // live here only (deleted ones stay linked), never through `avoid`.
    bool Reaches(int32_t index, int32_t from, int32_t target, int32_t avoid = -1);
    // Where the on-disk list continues after `before` (-1: the head).
    int32_t LinkStart(int32_t index, int32_t before);
    // Link a new record / move a record whose key changed; false, with nothing written,
    // when the file's list around the place differs from this copy.
    // `fresh`: a new record (record 0 then starts the list).
    bool TryPlace(int32_t index, int32_t recNo, int32_t dataOffset, bool fresh);
    // Takes a record whose key is about to change out of the list when its place changes.
    bool TryDetach(int32_t index, const TFieldBuffers& values, int32_t recNo);
    // Where `key` goes in the index's list as it would be without its item at `old`.
    int32_t PlaceWithout(int32_t index, const TKeyValues& key, int32_t old);
    bool TryMove(int32_t index, int32_t recNo);
    void RefreshIndex(int32_t index, bool rewrite);
    // Runs a Try* step until it succeeds, taking the file's list again and then rebuilding it;
    // the file is damaged when even the rebuilt list does not serve.
    template <class Attempt>
    void Retrying(int32_t index, Attempt&& attempt);
    void Place(int32_t index, int32_t recNo, int32_t dataOffset);
    void Move(int32_t index, int32_t recNo);

    TStoreTableIO& table_;
    std::vector<TIndexState> indexes_;
    std::vector<std::vector<TCachedValue>> cache_;  // per field, per record number
    uint64_t changes_ = 0;
    int32_t lastPhysical_ = -1;
};

// Adds an index to a table that has never held a record; raises the EDatabaseError of
// the first rule the request breaks. Only the first eight field names are used.
bool CreateIndex(TStoreFileIO& file, const std::string& tableName, const std::string& indexName,
                 uint8_t options, const std::vector<std::string>& fieldNames);

}  // namespace quorv::store
