#include "store/StoreIndexes.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

#include "store/BlobSlot.h"
#include "store/Coding.h"
#include "store/FieldTypes.h"
#include "store/FileLayout.h"
#include "store/NameCompare.h"
#include "store/StoreFileIO.h"
#include "store/Utf8.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {

namespace {

int64_t IndexTabEntryOffset(int32_t index) {
    return 4 + static_cast<int64_t>(index) * kIndexTabItemSize;
}

// One flag per record number: whether the table holds that record as live.
std::vector<uint8_t> LiveRecords(const TStoreTableIO& table) {
    std::vector<uint8_t> live(table.RecordTab().size(), 0);
    for (const TRecordItem& item : table.PhysicalOrder()) {
        live[static_cast<size_t>(item.RecNo)] = 1;
    }
    return live;
}

}  // namespace

TStoreIndexes::TStoreIndexes(TStoreTableIO& table) : table_(table) {
    table_.SetIndexHooks(this);
    if (table_.Loaded()) {
        TableLoaded(table_);
    }
}

TStoreIndexes::~TStoreIndexes() {
    table_.SetIndexHooks(nullptr);
}

const TStoreIndexDef& TStoreIndexes::Def(int32_t index) const {
    return indexes_.at(static_cast<size_t>(index)).Def;
}

int32_t TStoreIndexes::IndexOf(std::string_view name) const {
    for (size_t i = 0; i < indexes_.size(); ++i) {
        if (SameName(indexes_[i].Def.Name, name)) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

int32_t TStoreIndexes::PrimaryIndex() const {
    for (size_t i = 0; i < indexes_.size(); ++i) {
        if (indexes_[i].Def.Options & tiPrimary) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

const TRecordList& TStoreIndexes::Order(int32_t order) const {
    if (order < 0) {
        return table_.PhysicalOrder();
    }
    return indexes_.at(static_cast<size_t>(order)).List;
}

int32_t TStoreIndexes::PositionOf(int32_t order, int32_t recNo) const {
    if (order < 0) {
        return table_.PositionOf(recNo);
    }
    const TRecordList& list = Order(order);
    for (size_t k = 0; k < list.size(); ++k) {
        if (list[k].RecNo == recNo) {
            return static_cast<int32_t>(k);
        }
    }
    return -1;
}

int32_t TStoreIndexes::LastPlaced(int32_t order) const {
    if (order < 0) {
        return lastPhysical_;
    }
    return indexes_.at(static_cast<size_t>(order)).LastPlaced;
}

TStoreIndexes::TCachedValue& TStoreIndexes::CacheEntry(int32_t field, int32_t recNo) {
    if (cache_.size() < static_cast<size_t>(table_.FieldDefs().Count())) {
        cache_.resize(static_cast<size_t>(table_.FieldDefs().Count()));
    }
    auto& perField = cache_[static_cast<size_t>(field)];
    if (static_cast<size_t>(recNo) >= perField.size()) {
        perField.resize(static_cast<size_t>(recNo) + 1);
    }
    return perField[static_cast<size_t>(recNo)];
}

const std::string& TStoreIndexes::Keep(TCachedValue& entry, int32_t field, std::string raw) {
    const TStoreFieldDef& def = table_.FieldDefs()[field];
    entry.Value = IsStringFieldType(def.FieldType)
                      ? DecodeFixedName(reinterpret_cast<const uint8_t*>(raw.data()), raw.size())
                      : std::move(raw);
    entry.Valid = true;
    return entry.Value;
}

const std::string& TStoreIndexes::FieldValue(int32_t field, const TRecordItem& item) {
    const TStoreFieldDef& def = table_.FieldDefs()[field];
    // Reading and deciphering is the cost of a probe, so a fixed-width value once read
    // is kept until this table rewrites the record or reloads. Another program's edits
    // are seen at the reload, together with its changes to the orders.
    TCachedValue& c = CacheEntry(field, item.RecNo);
    if (c.Valid) {
        return c.Value;
    }
    std::string raw(static_cast<size_t>(def.Width), '\0');
    table_.File().ReadAt(static_cast<int64_t>(item.DataOffset) + def.Offset, raw.data(), def.Width);
    if (def.IsBlob()) {
        // Whole memo and blob values are not kept.
        TMemoryStream value;
        table_.ReadBlob(TBlobSlot::DecodeFrom(reinterpret_cast<const uint8_t*>(raw.data())), field,
                        value);
        c.Value.assign(value.Bytes().begin(), value.Bytes().end());
        return c.Value;
    }
    table_.File().DecodeFieldBuffer(raw.data(), raw.data(), table_.FieldEncrypted(field),
                                    def.Width);
    return Keep(c, field, std::move(raw));
}

TKeyValues TStoreIndexes::ReadKey(int32_t index, const TRecordItem& item) {
    TKeyValues key;
    for (int32_t f : Def(index).FieldNumbers) {
        key.push_back(FieldValue(f, item));
    }
    return key;
}

int TStoreIndexes::CompareKey(int32_t index, const TKeyValues& key, const TRecordItem& item,
                              int32_t nFields, bool partial) {
    const TStoreIndexDef& def = Def(index);
    const bool caseInsensitive = def.Options & tiCaseInsensitive;
    const auto n =
        std::min({static_cast<size_t>(std::max(nFields, 0)), def.FieldNumbers.size(), key.size()});
    for (size_t k = 0; k < n; ++k) {
        const int32_t f = def.FieldNumbers[k];
        const int c = CompareFieldValues(table_.FieldDefs()[f].FieldType, key[k],
                                         FieldValue(f, item), caseInsensitive, partial);
        if (c != 0) {
            return (def.Options & tiDescending) ? -c : c;
        }
    }
    return 0;
}

TSearchResult TStoreIndexes::FindKey(int32_t index, const TKeyValues& key, int32_t nFields,
                                     bool last, bool partial) {
    const TRecordList& list = Order(index);
    return SearchEqualKey(static_cast<int32_t>(list.size()), last, [&](int32_t k) {
        return CompareKey(index, key, list[static_cast<size_t>(k)], nFields, partial);
    });
}

// ---- loading ----------------------------------------------------------------------

TStoreIndexes::TChainWalk TStoreIndexes::WalkChain(int32_t index,
                                                   const std::vector<uint8_t>& live) {
    TChainWalk walk;
    const TIndexItem& item = table_.Header().Indexes.at(static_cast<size_t>(index));
    const int32_t count = table_.Header().RecordTabCount;
    if (count <= 0) {
        return walk;
    }
    TStoreFileIO& file = table_.File();
    const int64_t size = file.ImageSize();
    const int32_t needed = (count - 1) / kTabEntriesPerBlock + 1;
    // One block more than the count needs may hold the entry of an append that was cut
    // short; its links are followed so the records after it are not lost.
    const int32_t most = count / kTabEntriesPerBlock + 1;

    std::vector<int32_t> next;
    std::vector<int32_t> self;
    std::vector<uint8_t> bytes(kIndexTabBlockSize);
    std::unordered_set<int32_t> seen;
    int32_t block = item.FirstBlock;
    while (static_cast<int32_t>(walk.Blocks.size()) < most && block != 0) {
        if (block < kDataAreaOffset || block + static_cast<int64_t>(kIndexTabBlockSize) > size) {
            if (static_cast<int32_t>(walk.Blocks.size()) < needed) {
                walk.Problems.push_back("its tab leads outside the file");
            }
            break;
        }
        if (!seen.insert(block).second) {
            walk.Problems.push_back("its tab runs in a circle");
            break;
        }
        file.ReadAt(block, bytes.data(), kIndexTabBlockSize);
        for (int32_t k = 0; k < kTabEntriesPerBlock; ++k) {
            self.push_back(DecodeFixed32(bytes.data() + IndexTabEntryOffset(k)));
            next.push_back(DecodeFixed32(bytes.data() + IndexTabEntryOffset(k) + 4));
        }
        walk.Blocks.push_back(block);
        block = DecodeFixed32(bytes.data());
    }
    if (static_cast<int32_t>(walk.Blocks.size()) < needed) {
        walk.Problems.push_back("its tab has " + std::to_string(walk.Blocks.size()) +
                                " blocks for " + std::to_string(count) + " records");
    }

    const auto known = static_cast<int32_t>(next.size());
    std::vector<uint8_t> visited(static_cast<size_t>(known), 0);
    size_t reached = 0;
    int32_t r = item.Head;
    while (r != -1) {
        if (r < 0 || r >= known) {
            walk.Problems.push_back("its list leads to record " + std::to_string(r) +
                                    ", which has no entry");
            break;
        }
        if (visited[static_cast<size_t>(r)]) {
            walk.Problems.push_back("its list runs in a circle at record " + std::to_string(r));
            break;
        }
        visited[static_cast<size_t>(r)] = 1;
        if (self[static_cast<size_t>(r)] != r) {
            walk.Problems.push_back("the entry of record " + std::to_string(r) + " names record " +
                                    std::to_string(self[static_cast<size_t>(r)]));
            break;
        }
        if (r >= count) {
            walk.Problems.push_back("its list passes through record " + std::to_string(r) +
                                    ", which was never completed");
        } else if (live[static_cast<size_t>(r)]) {
            walk.List.push_back(
                TRecordItem{table_.RecordTab()[static_cast<size_t>(r)].DataOffset, r});
            ++reached;
        }
        r = next[static_cast<size_t>(r)];
    }
    const size_t liveCount = table_.PhysicalOrder().size();
    if (reached != liveCount) {
        walk.Problems.push_back("its list reaches " + std::to_string(reached) + " of " +
                                std::to_string(liveCount) + " records");
    }
    return walk;
}

void TStoreIndexes::SortByKey(int32_t index, TRecordList& list) {
    std::vector<TKeyValues> keys;
    keys.reserve(list.size());
    for (const TRecordItem& item : list) {
        keys.push_back(ReadKey(index, item));
    }
    const TStoreIndexDef& def = Def(index);
    const bool caseInsensitive = def.Options & tiCaseInsensitive;
    std::vector<size_t> order(list.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        for (size_t k = 0; k < def.FieldNumbers.size(); ++k) {
            int c = CompareFieldValues(table_.FieldDefs()[def.FieldNumbers[k]].FieldType,
                                       keys[a][k], keys[b][k], caseInsensitive);
            if (c != 0) {
                if (def.Options & tiDescending) {
                    c = -c;
                }
                return c < 0;
            }
        }
        return list[a].RecNo < list[b].RecNo;
    });
    TRecordList sorted;
    sorted.reserve(list.size());
    for (size_t k : order) {
        sorted.push_back(list[k]);
    }
    list = std::move(sorted);
}

void TStoreIndexes::TableLoaded(TStoreTableIO& table) {
    (void)table;
    indexes_.clear();
    cache_.assign(static_cast<size_t>(table_.FieldDefs().Count()), {});
    lastPhysical_ = -1;
    ++changes_;
    const std::vector<uint8_t> live = LiveRecords(table_);
    for (int32_t i = 0; i < table_.IndexDefs().Count(); ++i) {
        indexes_.push_back(TIndexState{table_.IndexDefs()[i], {}, {}, false, -1});
        TChainWalk walk = WalkChain(i, live);
        TIndexState& st = indexes_.back();
        st.Blocks = std::move(walk.Blocks);
        if (walk.Problems.empty()) {
            st.List = std::move(walk.List);
        } else {
            st.NeedsRewrite = true;
            st.List = table_.PhysicalOrder();
            SortByKey(i, st.List);
        }
    }
}

void TStoreIndexes::TableReleased(TStoreTableIO& /*table*/) {
    indexes_.clear();
    cache_.clear();
    lastPhysical_ = -1;
    ++changes_;
}

// ---- unique check -------------------------------------------------------------------

TKeyValues TStoreIndexes::KeyFromValues(int32_t index, const TFieldBuffers& values, int32_t recNo) {
    TKeyValues key;
    const TStoreFieldDefs& defs = table_.FieldDefs();
    TRecordItem stored{0, recNo};
    if (recNo >= 0) {
        stored.DataOffset = table_.RecordTab().at(static_cast<size_t>(recNo)).DataOffset;
    }
    for (int32_t f : Def(index).FieldNumbers) {
        const TStoreFieldDef& def = defs[f];
        const TFieldBufferItem& v = values[f];
        const bool autoZero = f == table_.AutoIncField() && values.Int32(f) == 0;
        if (!v.Write || autoZero) {
            if (recNo >= 0) {
                key.push_back(FieldValue(f, stored));
            } else if (autoZero) {
                std::string next(4, '\0');
                EncodeFixed32(reinterpret_cast<uint8_t*>(next.data()),
                              table_.Header().AutoIncCounter + 1);
                key.push_back(next);
            } else {
                key.push_back(def.IsBlob() || IsStringFieldType(def.FieldType)
                                  ? std::string()
                                  : std::string(static_cast<size_t>(def.Width), '\0'));
            }
        } else if (def.IsBlob()) {
            TMemoryStream copy;
            if (v.Blob) {
                copy.CopyFrom(*v.Blob, 0);
            }
            key.emplace_back(copy.Bytes().begin(), copy.Bytes().end());
        } else if (IsStringFieldType(def.FieldType)) {
            const std::string_view cut = Utf8Truncate(v.Bytes, static_cast<size_t>(def.Size));
            key.push_back(
                DecodeFixedName(reinterpret_cast<const uint8_t*>(cut.data()), cut.size()));
        } else {
            std::string native(static_cast<size_t>(def.Width), '\0');
            if (v.Bytes.size() == native.size()) {
                native = v.Bytes;
            }
            key.push_back(native);
        }
    }
    return key;
}

std::string TStoreIndexes::RenderKey(int32_t index, const TKeyValues& key) const {
    std::string text;
    const TStoreIndexDef& def = Def(index);
    for (size_t k = 0; k < key.size() && k < def.FieldNumbers.size(); ++k) {
        if (k > 0) {
            text += ',';
        }
        text += RenderFieldValue(table_.FieldDefs()[def.FieldNumbers[k]].FieldType, key[k]);
    }
    return text;
}

void TStoreIndexes::CheckUnique(TStoreTableIO& /*table*/, const TFieldBuffers& values,
                                int32_t recNo) {
    for (int32_t i = 0; i < Count(); ++i) {
        if (!(Def(i).Options & (tiPrimary | tiUnique))) {
            continue;
        }
        const TKeyValues key = KeyFromValues(i, values, recNo);
        const TRecordList& list = indexes_[static_cast<size_t>(i)].List;
        const auto fields = static_cast<int32_t>(Def(i).FieldNumbers.size());
        const TSearchResult r = BinarySearchKey(static_cast<int32_t>(list.size()), [&](int32_t k) {
            return CompareKey(i, key, list[static_cast<size_t>(k)], fields);
        });
        if (r.Outcome == TSearchOutcome::Equal &&
            !(recNo >= 0 && list[static_cast<size_t>(r.Position)].RecNo == recNo)) {
            throw EDatabaseError("Invalid unique field value '" + RenderKey(i, key) + "'");
        }
    }
}

// ---- the on-disk lists --------------------------------------------------------------

int64_t TStoreIndexes::EntryPosition(int32_t index, int32_t recNo) const {
    const auto& blocks = indexes_[static_cast<size_t>(index)].Blocks;
    const auto block = static_cast<size_t>(recNo / kTabEntriesPerBlock);
    if (recNo < 0 || block >= blocks.size()) {
        table_.File().Damaged("index '" + Def(index).Name + "' of table '" + table_.TableName() +
                              "' has no entry for record " + std::to_string(recNo));
    }
    return blocks[block] + IndexTabEntryOffset(recNo % kTabEntriesPerBlock);
}

void TStoreIndexes::WriteEntry(int32_t index, int32_t recNo, int32_t next) {
    uint8_t bytes[kIndexTabItemSize];
    EncodeFixed32(bytes, recNo);
    EncodeFixed32(bytes + 4, next);
    table_.File().WriteAt(EntryPosition(index, recNo), bytes, kIndexTabItemSize);
}

int32_t TStoreIndexes::ReadNext(int32_t index, int32_t recNo) {
    uint8_t bytes[4];
    table_.File().ReadAt(EntryPosition(index, recNo) + 4, bytes, 4);
    return DecodeFixed32(bytes);
}

void TStoreIndexes::WriteIndexItem(int32_t index) {
    uint8_t bytes[kIndexItemSize];
    table_.MutableHeader().Indexes.at(static_cast<size_t>(index)).EncodeTo(bytes);
    table_.File().WriteAt(static_cast<int64_t>(table_.HeaderOffset()) +
                              TTableHeader::kIndexItemsOffset + index * kIndexItemSize,
                          bytes, kIndexItemSize);
}

void TStoreIndexes::SetHead(int32_t index, int32_t head) {
    table_.MutableHeader().Indexes.at(static_cast<size_t>(index)).Head = head;
    WriteIndexItem(index);
}

void TStoreIndexes::EnsureBlockFor(int32_t index, int32_t recNo) {
    TIndexState& st = indexes_[static_cast<size_t>(index)];
    TStoreFileIO& file = table_.File();
    const std::vector<uint8_t> zero(kIndexTabBlockSize, 0);
    while (st.Blocks.size() <= static_cast<size_t>(recNo / kTabEntriesPerBlock)) {
        // The block is complete in the file before anything links to it.
        const int64_t at = file.ImageSize();
        file.WriteAt(at, zero.data(), kIndexTabBlockSize);
        if (st.Blocks.empty()) {
            table_.MutableHeader().Indexes.at(static_cast<size_t>(index)).FirstBlock =
                static_cast<int32_t>(at);
            WriteIndexItem(index);
        } else {
            uint8_t link[4];
            EncodeFixed32(link, static_cast<int32_t>(at));
            file.WriteAt(st.Blocks.back(), link, 4);
        }
        st.Blocks.push_back(static_cast<int32_t>(at));
    }
}

void TStoreIndexes::LinkAfter(int32_t index, int32_t recNo, int32_t before) {
    LinkAfter(index, recNo, before, LinkStart(index, before));
}

void TStoreIndexes::LinkAfter(int32_t index, int32_t recNo, int32_t before, int32_t next) {
    // The entry is written before anything points to it.
    WriteEntry(index, recNo, next);
    if (before >= 0) {
        WriteEntry(index, before, recNo);
    } else {
        SetHead(index, recNo);
    }
}

void TStoreIndexes::Unlink(int32_t index, int32_t recNo, int32_t before) {
    const int32_t next = ReadNext(index, recNo);
    if (before >= 0) {
        WriteEntry(index, before, next);
    } else {
        SetHead(index, next);
    }
}

void TStoreIndexes::RewriteTab(int32_t index) {
    TIndexState& st = indexes_[static_cast<size_t>(index)];
    TStoreFileIO& file = table_.File();
    const int32_t count = table_.Header().RecordTabCount;
    const int32_t blocks = count / kTabEntriesPerBlock + 1;
    const int64_t base = file.ImageSize();
    std::vector<uint8_t> bytes(static_cast<size_t>(blocks) * kIndexTabBlockSize, 0);
    for (int32_t b = 0; b < blocks; ++b) {
        uint8_t* block = bytes.data() + static_cast<size_t>(b) * kIndexTabBlockSize;
        EncodeFixed32(
            block, b + 1 < blocks ? static_cast<int32_t>(base + (b + 1) * kIndexTabBlockSize) : 0);
        for (int32_t k = 0; k < kTabEntriesPerBlock; ++k) {
            EncodeFixed32(block + IndexTabEntryOffset(k), b * kTabEntriesPerBlock + k);
            EncodeFixed32(block + IndexTabEntryOffset(k) + 4, -1);
        }
    }
    for (size_t j = 0; j + 1 < st.List.size(); ++j) {
        const int32_t r = st.List[j].RecNo;
        EncodeFixed32(bytes.data() +
                          static_cast<size_t>(r / kTabEntriesPerBlock) * kIndexTabBlockSize +
                          IndexTabEntryOffset(r % kTabEntriesPerBlock) + 4,
                      st.List[j + 1].RecNo);
    }
    // A fresh tab, switched to with one header write: the damaged one is never touched.
    file.WriteAt(base, bytes.data(), static_cast<int64_t>(bytes.size()));
    file.OrderWrites();
    TIndexItem& item = table_.MutableHeader().Indexes.at(static_cast<size_t>(index));
    item.FirstBlock = static_cast<int32_t>(base);
    item.Head = st.List.empty() ? -1 : st.List.front().RecNo;
    WriteIndexItem(index);
    st.Blocks.clear();
    for (int32_t b = 0; b < blocks; ++b) {
        st.Blocks.push_back(
            static_cast<int32_t>(base + static_cast<int64_t>(b) * kIndexTabBlockSize));
    }
    st.NeedsRewrite = false;
}

bool TStoreIndexes::Reaches(int32_t index, int32_t from, int32_t target, int32_t avoid) {
    // Records this copy does not hold as live (deleted ones, which stay linked) may lie
    // between two neighbours; a live one there means another program moved keys.
    constexpr int kMostHops = 64;
    const int32_t known = static_cast<int32_t>(indexes_[static_cast<size_t>(index)].Blocks.size()) *
                          kTabEntriesPerBlock;
    int32_t x = from;
    for (int hop = 0; hop < kMostHops; ++hop) {
        if (x == target) {
            return true;
        }
        if (x < 0 || x >= known || x == avoid || table_.IsLive(x)) {
            return false;
        }
        x = ReadNext(index, x);
    }
    return false;
}

int32_t TStoreIndexes::LinkStart(int32_t index, int32_t before) {
    return before >= 0 ? ReadNext(index, before)
                       : table_.Header().Indexes.at(static_cast<size_t>(index)).Head;
}

bool TStoreIndexes::TryPlace(int32_t index, int32_t recNo, int32_t dataOffset, bool fresh) {
    TIndexState& st = indexes_[static_cast<size_t>(index)];
    const TRecordItem item{dataOffset, recNo};
    const TKeyValues key = ReadKey(index, item);
    const auto fields = static_cast<int32_t>(st.Def.FieldNumbers.size());
    const auto size = static_cast<int32_t>(st.List.size());
    const int32_t p = InsertionPosition(BinarySearchKey(size, [&](int32_t k) {
        return CompareKey(index, key, st.List[static_cast<size_t>(k)], fields);
    }));
    EnsureBlockFor(index, recNo);
    if (fresh && recNo == 0) {
        // The first record of the table starts the list; the head already names it.
        WriteEntry(index, 0, -1);
        if (table_.Header().Indexes.at(static_cast<size_t>(index)).Head != 0) {
            SetHead(index, 0);
        }
    } else {
        const int32_t before = p > 0 ? st.List[static_cast<size_t>(p - 1)].RecNo : -1;
        const int32_t after = p < size ? st.List[static_cast<size_t>(p)].RecNo : -1;
        // The new record itself may already hang in the list, left by an append that
        // another program did not finish: linking it again would close a circle.
        const int32_t start = LinkStart(index, before);
        if (!Reaches(index, start, after, recNo)) {
            return false;
        }
        LinkAfter(index, recNo, before, start);
    }
    st.List.insert(st.List.begin() + p, item);
    st.LastPlaced = p;
    return true;
}

int32_t TStoreIndexes::PlaceWithout(int32_t index, const TKeyValues& key, int32_t old) {
    const TIndexState& st = indexes_[static_cast<size_t>(index)];
    const auto fields = static_cast<int32_t>(st.Def.FieldNumbers.size());
    const auto rest = static_cast<int32_t>(st.List.size()) - 1;
    return InsertionPosition(BinarySearchKey(rest, [&](int32_t k) {
        return CompareKey(index, key, st.List[static_cast<size_t>(k < old ? k : k + 1)], fields);
    }));
}

bool TStoreIndexes::TryMove(int32_t index, int32_t recNo) {
    TIndexState& st = indexes_[static_cast<size_t>(index)];
    const int32_t old = PositionOf(index, recNo);
    if (old < 0) {
        return true;
    }
    TRecordList& list = st.List;
    const TRecordItem item = list[static_cast<size_t>(old)];
    const int32_t p = PlaceWithout(index, ReadKey(index, item), old);
    const auto rest = static_cast<int32_t>(list.size()) - 1;
    // Positions in the list as it would be without the record.
    auto at = [&](int32_t k) -> const TRecordItem& {
        return list[static_cast<size_t>(k < old ? k : k + 1)];
    };
    st.LastPlaced = p;
    if (p == old) {
        return true;
    }
    const int32_t oldBefore = old > 0 ? list[static_cast<size_t>(old - 1)].RecNo : -1;
    const int32_t newBefore = p > 0 ? at(p - 1).RecNo : -1;
    const int32_t newAfter = p < rest ? at(p).RecNo : -1;
    // Both places are checked before either is written.
    if (!Reaches(index, LinkStart(index, oldBefore), recNo) ||
        !Reaches(index, LinkStart(index, newBefore), newAfter)) {
        return false;
    }
    Unlink(index, recNo, oldBefore);
    LinkAfter(index, recNo, newBefore);
    list.erase(list.begin() + old);
    list.insert(list.begin() + p, item);
    return true;
}

void TStoreIndexes::RefreshIndex(int32_t index, bool rewrite) {
    // Another program changed this index without changing the table header: take its
    // list (and fresh key values) from the file, or rebuild and rewrite it.
    ++changes_;
    for (auto& perField : cache_) {
        perField.clear();
    }
    TIndexState& st = indexes_[static_cast<size_t>(index)];
    const std::vector<uint8_t> live = LiveRecords(table_);
    TChainWalk walk = WalkChain(index, live);
    st.Blocks = std::move(walk.Blocks);
    if (walk.Problems.empty() && !rewrite) {
        st.List = std::move(walk.List);
        return;
    }
    st.List = table_.PhysicalOrder();
    SortByKey(index, st.List);
    RewriteTab(index);
}

template <class Attempt>
void TStoreIndexes::Retrying(int32_t index, Attempt&& attempt) {
    if (indexes_[static_cast<size_t>(index)].NeedsRewrite) {
        RewriteTab(index);
    }
    // Failed attempts take the file's list again, and then rebuild it.
    for (int round = 0; round < 3; ++round) {
        if (round > 0) {
            RefreshIndex(index, round == 2);
        }
        if (attempt()) {
            return;
        }
    }
    table_.File().Damaged("index '" + Def(index).Name + "' of table '" + table_.TableName() +
                          "' cannot be brought in order");
}

void TStoreIndexes::Place(int32_t index, int32_t recNo, int32_t dataOffset) {
    Retrying(index, [&] { return TryPlace(index, recNo, dataOffset, true); });
}

void TStoreIndexes::Move(int32_t index, int32_t recNo) {
    Retrying(index, [&] { return TryMove(index, recNo); });
}

void TStoreIndexes::BeforeWrite(TStoreTableIO& /*table*/) {
    // A list that loading found broken is rewritten by whatever write comes first, also
    // by one (a delete) that would not touch it otherwise.
    for (int32_t i = 0; i < Count(); ++i) {
        if (indexes_[static_cast<size_t>(i)].NeedsRewrite) {
            RewriteTab(i);
        }
    }
}

void TStoreIndexes::RecordAdded(TStoreTableIO& /*table*/, int32_t recNo, int32_t dataOffset) {
    ++changes_;
    // The keys of the new record are known: placing it reads nothing back.
    if (const uint8_t* plain = table_.AppendingRecord()) {
        for (const TIndexState& st : indexes_) {
            for (int32_t f : st.Def.FieldNumbers) {
                const TStoreFieldDef& def = table_.FieldDefs()[f];
                if (!def.IsBlob()) {
                    const auto* at = reinterpret_cast<const char*>(plain + def.Offset);
                    Keep(CacheEntry(f, recNo), f, std::string(at, static_cast<size_t>(def.Width)));
                }
            }
        }
    }
    for (int32_t i = 0; i < Count(); ++i) {
        Place(i, recNo, dataOffset);
    }
    lastPhysical_ = static_cast<int32_t>(table_.PhysicalOrder().size());
}

bool TStoreIndexes::TryDetach(int32_t index, const TFieldBuffers& values, int32_t recNo) {
    TIndexState& st = indexes_[static_cast<size_t>(index)];
    const int32_t old = PositionOf(index, recNo);
    if (old < 0) {
        return true;
    }
    TRecordList& list = st.List;
    const int32_t p = PlaceWithout(index, KeyFromValues(index, values, recNo), old);
    if (p == old) {
        return true;  // the key keeps its place
    }
    const int32_t before = old > 0 ? list[static_cast<size_t>(old - 1)].RecNo : -1;
    if (!Reaches(index, LinkStart(index, before), recNo)) {
        return false;
    }
    Unlink(index, recNo, before);
    list.erase(list.begin() + old);
    st.Detached = recNo;
    return true;
}

void TStoreIndexes::RecordModifying(TStoreTableIO& /*table*/, const TFieldBuffers& values,
                                    int32_t recNo) {
    ++changes_;
    for (int32_t i = 0; i < Count(); ++i) {
        Retrying(i, [&] { return TryDetach(i, values, recNo); });
    }
}

bool TStoreIndexes::Detached(const TStoreTableIO& /*table*/, int32_t recNo) const {
    return std::any_of(indexes_.begin(), indexes_.end(),
                       [recNo](const TIndexState& st) { return st.Detached == recNo; });
}

void TStoreIndexes::RecordModified(TStoreTableIO& /*table*/, int32_t recNo) {
    ++changes_;
    for (auto& perField : cache_) {
        if (static_cast<size_t>(recNo) < perField.size()) {
            perField[static_cast<size_t>(recNo)].Valid = false;
        }
    }
    const int32_t dataOffset = table_.RecordTab().at(static_cast<size_t>(recNo)).DataOffset;
    // The new version lives at a new offset; every order reads keys from there.
    for (TIndexState& st : indexes_) {
        for (TRecordItem& item : st.List) {
            if (item.RecNo == recNo) {
                item.DataOffset = dataOffset;
            }
        }
    }
    for (int32_t i = 0; i < Count(); ++i) {
        TIndexState& st = indexes_[static_cast<size_t>(i)];
        if (st.Detached != recNo) {
            Move(i, recNo);
            continue;
        }
        st.Detached = -1;
        if (!TryPlace(i, recNo, dataOffset, false)) {
            // The list changed under us: a fresh, sorted tab holds the record in its place.
            RefreshIndex(i, true);
            st.LastPlaced = PositionOf(i, recNo);
        }
    }
    lastPhysical_ = table_.PositionOf(recNo);
}

void TStoreIndexes::RecordDeleted(TStoreTableIO& /*table*/, int32_t recNo) {
    ++changes_;
    // The on-disk lists keep the record; readers skip it by its deleted flag.
    for (TIndexState& st : indexes_) {
        const auto it = std::find_if(st.List.begin(), st.List.end(),
                                     [&](const TRecordItem& x) { return x.RecNo == recNo; });
        st.LastPlaced = static_cast<int32_t>(it - st.List.begin());
        if (it != st.List.end()) {
            st.List.erase(it);
        }
    }
}

// ---- checking -----------------------------------------------------------------------

std::vector<std::string> TStoreIndexes::Verify() {
    std::vector<std::string> problems;
    const std::vector<uint8_t> live = LiveRecords(table_);
    for (int32_t i = 0; i < Count(); ++i) {
        const std::string where =
            "table '" + table_.TableName() + "', index '" + Def(i).Name + "': ";
        TChainWalk walk = WalkChain(i, live);
        for (const std::string& p : walk.Problems) {
            problems.push_back(where + p);
        }
        const auto fields = static_cast<int32_t>(Def(i).FieldNumbers.size());
        for (size_t k = 1; k < walk.List.size(); ++k) {
            const TKeyValues before = ReadKey(i, walk.List[k - 1]);
            if (CompareKey(i, before, walk.List[k], fields) > 0) {
                problems.push_back(where + "record " + std::to_string(walk.List[k - 1].RecNo) +
                                   " comes before record " + std::to_string(walk.List[k].RecNo) +
                                   " against the key order");
            }
        }
    }
    return problems;
}

// ---- creating -----------------------------------------------------------------------

bool CreateIndex(TStoreFileIO& file, const std::string& tableName, const std::string& indexName,
                 uint8_t options, const std::vector<std::string>& fieldNames) {
    if (!IsValidName(tableName)) {
        throw EDatabaseError("Invalid table name '" + tableName + "'");
    }
    if (!IsValidName(indexName)) {
        throw EDatabaseError("Invalid index name '" + indexName + "'");
    }
    TStoreFileIO::TWriteLock lock(file);
    file.ReadTableDirectory();
    const int32_t table = file.FindTable(tableName);
    if (table < 0) {
        throw EDatabaseError("Table '" + tableName + "' not found");
    }
    TTableHeader header = file.ReadTableHeader(table);
    if (header.Indexes.size() >= static_cast<size_t>(kMaxIndexes)) {
        throw EDatabaseError("Too many indexes");
    }
    const std::string_view cutName = Utf8Truncate(indexName, kMaxNameLength);
    for (const TIndexItem& x : header.Indexes) {
        if (SameName(x.Name, cutName)) {
            throw EDatabaseError("Duplicate index name '" + indexName + "'");
        }
    }
    if (options & tiPrimary) {
        for (const TIndexItem& x : header.Indexes) {
            if (x.Options & tiPrimary) {
                throw EDatabaseError("Duplicate primary index");
            }
        }
    }
    if (header.RecordTabCount > 0) {
        throw EDatabaseError("Fail to create index");
    }
    if (fieldNames.empty()) {
        throw EDatabaseError("Field name expected");
    }
    const size_t used = std::min(fieldNames.size(), static_cast<size_t>(kMaxIndexFields));
    for (size_t a = 0; a < used; ++a) {
        for (size_t b = a + 1; b < used; ++b) {
            if (SameName(fieldNames[a], fieldNames[b])) {
                throw EDatabaseError("Duplicate field name '" + fieldNames[a] + "'");
            }
        }
    }
    TIndexItem item;
    item.Name = std::string(cutName);
    item.Options = options & (tiPrimary | tiUnique | tiDescending | tiCaseInsensitive);
    const TStoreFieldDefs fields(header.Fields);
    for (size_t k = 0; k < used; ++k) {
        const int32_t number = fields.IndexOf(fieldNames[k]);
        if (number < 0) {
            throw EDatabaseError("Field '" + fieldNames[k] + "' not found");
        }
        item.FieldNumbers[k] = number;
    }
    item.FirstBlock = static_cast<int32_t>(file.ImageSize());
    item.Head = 0;
    header.Indexes.push_back(item);
    header.StoredIndexCount = static_cast<int32_t>(header.Indexes.size());
    file.WriteTableHeader(table, header);
    return true;
}

}  // namespace quorv::store
