#include "store/StoreTableIO.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "store/Coding.h"
#include "store/FieldTypes.h"
#include "store/FileLayout.h"
#include "store/FixedPartReader.h"
#include "store/IndexHooks.h"
#include "store/StoreFileIO.h"
#include "store/Utf8.h"
#include "store/processing/Hash_CheckSum.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {

namespace {

// Rewrites after a failed read-back before the write counts as failed.
constexpr int kWriteVerifyRetries = 3;

uint32_t ChecksumOf(TMemoryStream& stream) {
    return CRC32(stream.Bytes().data(), stream.Bytes().size());
}

}  // namespace

TStoreTableIO::TStoreTableIO(TStoreFileIO& file, std::string tableName)
    : file_(file), tableName_(std::move(tableName)) {}

TStoreTableIO::~TStoreTableIO() = default;

void TStoreTableIO::Open() {
    if (useCount_ == 0) {
        Load();
    }
    ++useCount_;
}

void TStoreTableIO::Close() {
    if (useCount_ == 0) {
        return;
    }
    if (--useCount_ == 0) {
        Release();
    }
}

void TStoreTableIO::Reload() {
    Release();
    Load();
}

void TStoreTableIO::Load() {
    const int32_t index = file_.FindTable(tableName_);
    if (index < 0) {
        throw EDatabaseError("Table '" + tableName_ + "' not found");
    }
    header_ = file_.ReadTableHeader(index);
    directoryIndex_ = index;
    headerOffset_ = file_.Directory().Offsets[index];
    fieldDefs_ = TStoreFieldDefs(header_.Fields);
    indexDefs_ = TStoreIndexDefs(header_.Indexes);
    hasBlobs_ = std::any_of(fieldDefs_.begin(), fieldDefs_.end(),
                            [](const TStoreFieldDef& def) { return def.IsBlob(); });

    // The header check bounds the count by the file size, and every block is visited at
    // most once, so a damaged chain can neither allocate without limit nor loop. Entries
    // are only kept for blocks that really are in the file.
    const int64_t size = file_.ImageSize();
    recordTab_.clear();
    recordTabBlocks_.clear();
    std::vector<uint8_t> bytes(kRecordTabBlockSize);
    std::unordered_set<int32_t> seen;
    int32_t remaining = header_.RecordTabCount;
    int32_t block = header_.FirstRecordBlock;
    while (remaining > 0) {
        if (block < kDataAreaOffset || block + static_cast<int64_t>(kRecordTabBlockSize) > size) {
            Damaged("its record tab leads outside the file");
        }
        if (!seen.insert(block).second) {
            Damaged("its record tab runs in a circle");
        }
        file_.ReadAt(block, bytes.data(), kRecordTabBlockSize);
        const int32_t take = std::min(remaining, kTabEntriesPerBlock);
        for (int32_t i = 0; i < take; ++i) {
            recordTab_.push_back(
                TRecordTabItem::DecodeFrom(bytes.data() + RecordTabEntryOffset(i)));
        }
        recordTabBlocks_.push_back(block);
        remaining -= take;
        block = DecodeFixed32(bytes.data());
    }

    physical_.clear();
    damaged_.clear();
    TFixedPartReader fixedParts(file_, RecordSize(), size);
    for (size_t n = 0; n < recordTab_.size(); ++n) {
        if (recordTab_[n].Deleted != 0) {
            continue;
        }
        if (EntryComplete(recordTab_[n], size, fixedParts)) {
            physical_.push_back(TRecordItem{recordTab_[n].DataOffset, static_cast<int32_t>(n)});
        } else {
            damaged_.push_back(static_cast<int32_t>(n));
        }
    }
    loaded_ = true;
    if (hooks_) {
        hooks_->TableLoaded(*this);
    }
}

void TStoreTableIO::Release() {
    if (loaded_ && hooks_) {
        hooks_->TableReleased(*this);
    }
    loaded_ = false;
    header_ = TTableHeader();
    fieldDefs_ = TStoreFieldDefs();
    indexDefs_ = TStoreIndexDefs();
    recordTab_.clear();
    recordTabBlocks_.clear();
    physical_.clear();
    damaged_.clear();
}

void TStoreTableIO::RequireLoaded() const {
    if (!loaded_) {
        throw EDatabaseError("Table '" + tableName_ + "' is not open");
    }
}

void TStoreTableIO::Damaged(const std::string& what) const {
    file_.Damaged("table '" + tableName_ + "': " + what);
}

bool TStoreTableIO::EntryUsable(const TRecordTabItem& item, int64_t imageSize) const {
    // A record must lie wholly inside the file to be read at all.
    return item.DataOffset >= kDataAreaOffset &&
           item.DataOffset + static_cast<int64_t>(RecordSize()) <= imageSize;
}

bool TStoreTableIO::EntryComplete(const TRecordTabItem& item, int64_t imageSize,
                                  TFixedPartReader& fixedParts) {
    if (!EntryUsable(item, imageSize)) {
        return false;
    }
    if (!hasBlobs_) {
        return true;
    }
    // A blob slot never filled in, or one whose data runs past the end of the file, marks
    // a record whose writing was cut short (other writers fill the slots last) or a file
    // cut short.
    const uint8_t* fixed = fixedParts.Read(item.DataOffset);
    for (const TStoreFieldDef& def : fieldDefs_) {
        if (!def.IsBlob()) {
            continue;
        }
        const TBlobSlot slot = TBlobSlot::DecodeFrom(fixed + def.Offset);
        if (slot.IsBlank() ||
            slot.Offset + static_cast<int64_t>(std::max(slot.Length, 0)) > imageSize) {
            return false;
        }
    }
    return true;
}

void TStoreTableIO::CheckPosition(int32_t position) const {
    if (position < 0 || position >= static_cast<int32_t>(physical_.size())) {
        throw EDatabaseError("Record position " + std::to_string(position) + " of table '" +
                             tableName_ + "' does not exist");
    }
}

int32_t TStoreTableIO::PositionOf(int32_t recNo) const {
    const auto it =
        std::lower_bound(physical_.begin(), physical_.end(), recNo,
                         [](const TRecordItem& item, int32_t n) { return item.RecNo < n; });
    if (it == physical_.end() || it->RecNo != recNo) {
        return -1;
    }
    return static_cast<int32_t>(it - physical_.begin());
}

bool TStoreTableIO::IsLive(int32_t recNo) const {
    return PositionOf(recNo) >= 0;
}

bool TStoreTableIO::FieldCompressed(int32_t field) const {
    return file_.ExtHeader().Compress && !fieldDefs_[field].SkipProcessing;
}

bool TStoreTableIO::FieldEncrypted(int32_t field) const {
    return file_.ExtHeader().Encrypt && !fieldDefs_[field].SkipProcessing;
}

int32_t TStoreTableIO::EntryPosition(int32_t recNo) const {
    return recordTabBlocks_.at(static_cast<size_t>(recNo / kTabEntriesPerBlock)) +
           RecordTabEntryOffset(recNo % kTabEntriesPerBlock);
}

void TStoreTableIO::WriteHeader() {
    std::vector<uint8_t> bytes(kTableHeaderSize);
    header_.EncodeTo(bytes.data());
    file_.WriteAt(headerOffset_, bytes.data(), kTableHeaderSize);
}

void TStoreTableIO::WriteCounters(bool withAutoInc) {
    uint8_t bytes[12];
    EncodeFixed32(bytes, header_.FirstRecordBlock);
    EncodeFixed32(bytes + 4, header_.RecordTabCount);
    EncodeFixed32(bytes + 8, header_.AutoIncCounter);
    file_.WriteAt(headerOffset_ + TTableHeader::kFirstBlockOffset, bytes, withAutoInc ? 12 : 8);
}

void TStoreTableIO::CheckHeaderOnDisk() {
    if (batch_) {
        return;  // the lock has been ours since the batch began; the copy is ahead of the file
    }
    // Another program may have appended, moved a key or created an index since the table
    // was loaded; writing on from the stale copy would reuse its record numbers and
    // overwrite its entries. Under the write lock the copy is taken again instead.
    std::vector<uint8_t> mine(kTableHeaderSize);
    header_.EncodeTo(mine.data());
    // The counters and the index items in one read: the bytes between are few next to
    // the cost of a second call.
    constexpr int32_t kCounters = 12;
    constexpr int32_t kIndexArea = 4 + kMaxIndexes * kIndexItemSize;
    constexpr int32_t kFirst = TTableHeader::kFirstBlockOffset;
    constexpr int32_t kSpan = TTableHeader::kIndexCountOffset + kIndexArea - kFirst;
    std::vector<uint8_t> onDisk(kSpan);
    file_.ReadAt(headerOffset_ + kFirst, onDisk.data(), kSpan);
    const uint8_t* indexes = onDisk.data() + (TTableHeader::kIndexCountOffset - kFirst);
    if (std::memcmp(onDisk.data(), mine.data() + kFirst, kCounters) != 0 ||
        std::memcmp(indexes, mine.data() + TTableHeader::kIndexCountOffset, kIndexArea) != 0) {
        Reload();
    }
}

TRecordItem TStoreTableIO::RecheckedRecord(TRecordItem record) {
    CheckHeaderOnDisk();
    int32_t position = PositionOf(record.RecNo);
    // In a batch nobody else wrote, and an entry on disk may still wait for its switch.
    if (position >= 0 && !batch_) {
        // A delete or modify by another program changes no header field: the entry itself
        // tells.
        uint8_t entry[kRecordTabItemSize];
        file_.ReadAt(EntryPosition(record.RecNo), entry, kRecordTabItemSize);
        const TRecordTabItem onDisk = TRecordTabItem::DecodeFrom(entry);
        if (onDisk.Deleted != 0 || onDisk.DataOffset != physical_[position].DataOffset) {
            Reload();
            position = PositionOf(record.RecNo);
        }
    }
    if (position < 0) {
        throw EDatabaseError("Record " + std::to_string(record.RecNo) + " of table '" + tableName_ +
                             "' does not exist");
    }
    return physical_[position];
}

void TStoreTableIO::RecoverAfterFailedWrite() noexcept {
    batchPending_ = false;
    switches_.clear();
    try {
        Reload();
    } catch (...) {
        // Left unloaded: further use reports that the table is not open.
    }
}

void TStoreTableIO::NativeValue(int32_t field, const TFieldBufferItem& value,
                                uint8_t* native) const {
    const TStoreFieldDef& def = fieldDefs_[field];
    uint8_t* at = native + def.Offset;
    std::memset(at, 0, static_cast<size_t>(def.Width));
    if (!value.Write) {
        return;
    }
    if (IsStringFieldType(def.FieldType)) {
        // Cut to the declared size, never inside a character; the last byte stays NUL.
        const std::string_view text = Utf8Truncate(value.Bytes, static_cast<size_t>(def.Size));
        std::memcpy(at, text.data(), text.size());
    } else if (!value.Bytes.empty()) {
        if (value.Bytes.size() != static_cast<size_t>(def.Width)) {
            throw EDatabaseError("Invalid value for field '" + def.Name + "'");
        }
        std::memcpy(at, value.Bytes.data(), value.Bytes.size());
    }
}

void TStoreTableIO::EncodeFields(const std::vector<int32_t>& fields, const uint8_t* native,
                                 uint8_t* fixed) {
    messages_.clear();
    for (int32_t f : fields) {
        const TStoreFieldDef& def = fieldDefs_[f];
        if (FieldEncrypted(f)) {
            messages_.push_back({native + def.Offset, fixed + def.Offset, def.Width});
        } else {
            std::memcpy(fixed + def.Offset, native + def.Offset, static_cast<size_t>(def.Width));
        }
    }
    if (!messages_.empty()) {
        file_.EncodeFieldBuffers(messages_.data(), messages_.size());
    }
}

void TStoreTableIO::DecodeFixedPart(const uint8_t* stored, uint8_t* plain, bool textOnly) {
    // Wide text columns mostly hold short text. In every mode a value's leading whole
    // blocks decipher alike whether or not the rest follows, so a first pass takes only
    // a prefix of each text, and a second the whole of those whose NUL it did not reach.
    constexpr int32_t kTextPrefix = 32;  // whole blocks of every cipher
    // In place, the second pass would find the prefix already deciphered.
    textOnly = textOnly && stored != plain;
    messages_.clear();
    std::vector<int32_t>& longer = longerTexts_;
    longer.clear();
    for (int32_t f = 0; f < fieldDefs_.Count(); ++f) {
        const TStoreFieldDef& def = fieldDefs_[f];
        if (def.IsBlob()) {
            continue;
        }
        if (FieldEncrypted(f)) {
            int32_t size = def.Width;
            if (textOnly && IsStringFieldType(def.FieldType) && size > kTextPrefix) {
                size = kTextPrefix;
                longer.push_back(f);
            }
            messages_.push_back({stored + def.Offset, plain + def.Offset, size});
        } else if (stored != plain) {
            std::memcpy(plain + def.Offset, stored + def.Offset, static_cast<size_t>(def.Width));
        }
    }
    if (!messages_.empty()) {
        file_.DecodeFieldBuffers(messages_.data(), messages_.size());
    }
    messages_.clear();
    for (int32_t f : longer) {
        const TStoreFieldDef& def = fieldDefs_[f];
        if (std::memchr(plain + def.Offset, 0, kTextPrefix) == nullptr) {
            messages_.push_back({stored + def.Offset, plain + def.Offset, def.Width});
        }
    }
    if (!messages_.empty()) {
        file_.DecodeFieldBuffers(messages_.data(), messages_.size());
    }
}

void TStoreTableIO::EncodeBlob(int32_t field, const TFieldBufferItem& value, TMemoryStream& image) {
    TMemoryStream source;
    if (value.Write && value.Blob) {
        source.CopyFrom(*value.Blob, 0);
    }
    file_.EncodeStream(source, image, FieldCompressed(field), FieldEncrypted(field));
    if (image.Size() >= kMaxImageSize - kBlobAreaStep) {
        file_.SizeLimitReached();
    }
}

void TStoreTableIO::WriteImageAndFiller(const TMemoryStream& image, int32_t offset, int32_t area) {
    const auto length = static_cast<int32_t>(image.Bytes().size());
    // Filler stays inside the area: an image that fills its area exactly gets none.
    const int32_t filler = std::min(kBlobAreaStep - length % kBlobAreaStep, area - length);
    std::vector<uint8_t> bytes(image.Bytes());
    bytes.resize(bytes.size() + static_cast<size_t>(std::max(filler, 0)), 0);
    file_.WriteAt(offset, bytes.data(), static_cast<int64_t>(bytes.size()));
}

int32_t TStoreTableIO::VerifyBlob(int32_t field, const TFieldBufferItem& value,
                                  TMemoryStream& image, int32_t offset, int32_t area) {
    TMemoryStream original;
    if (value.Write && value.Blob) {
        original.CopyFrom(*value.Blob, 0);
    }
    const uint32_t expected = ChecksumOf(original);
    for (int attempt = 0;; ++attempt) {
        const auto length = static_cast<int32_t>(image.Size());
        bool same = false;
        try {
            TMemoryStream back;
            back.SetSize(length);
            file_.ReadAt(offset, back.Memory(), length);
            TMemoryStream decoded;
            file_.DecodeStream(back, decoded, FieldCompressed(field), FieldEncrypted(field));
            same = ChecksumOf(decoded) == expected;
        } catch (const std::exception&) {
            // A read-back that cannot even be decoded is a mismatch like any other.
        }
        if (same) {
            return length;
        }
        const std::string failed = "Write verification failed for field '" +
                                   fieldDefs_[field].Name + "' of table '" + tableName_ + "'";
        if (attempt == kWriteVerifyRetries) {
            throw EDatabaseError(failed);
        }
        EncodeBlob(field, value, image);
        if (image.Size() > area) {
            throw EDatabaseError(failed);
        }
        WriteImageAndFiller(image, offset, area);
    }
}

void TStoreTableIO::PlaceBlob(int32_t field, TMemoryStream image, const TBlobSlot& old,
                              int64_t& next, std::vector<uint8_t>& fixed,
                              std::vector<TPendingBlob>& blobs) {
    const auto length = static_cast<int32_t>(image.Size());
    const int32_t area = BlobAreaFor(length);
    if (next + area > kMaxImageSize) {
        file_.SizeLimitReached();
    }
    TBlobSlot slot{static_cast<int32_t>(next), length, area, old.Reserved};
    slot.EncodeTo(fixed.data() + fieldDefs_[field].Offset);
    blobs.push_back(TPendingBlob{field, std::move(image), slot.Offset, area});
    next += area;
}

void TStoreTableIO::WriteRecordData(int64_t dataOffset, std::vector<uint8_t>& fixed,
                                    std::vector<TPendingBlob>& blobs, const TFieldBuffers& values) {
    // The fixed part and its new areas follow one another, so they go in one write.
    std::vector<uint8_t> data(fixed);
    for (const TPendingBlob& blob : blobs) {
        data.insert(data.end(), blob.Image.Bytes().begin(), blob.Image.Bytes().end());
        data.resize(data.size() + static_cast<size_t>(blob.Area) - blob.Image.Bytes().size(), 0);
    }
    file_.WriteAt(dataOffset, data.data(), static_cast<int64_t>(data.size()));
    if (!file_.ExtHeader().WriteVerify) {
        return;
    }
    bool slotsChanged = false;
    for (TPendingBlob& blob : blobs) {
        const int32_t length =
            VerifyBlob(blob.Field, values[blob.Field], blob.Image, blob.Offset, blob.Area);
        const int32_t slotAt = fieldDefs_[blob.Field].Offset;
        if (length != DecodeFixed32(fixed.data() + slotAt + 4)) {
            EncodeFixed32(fixed.data() + slotAt + 4, length);
            slotsChanged = true;
        }
    }
    if (slotsChanged) {
        file_.WriteAt(dataOffset, fixed.data(), RecordSize());
    }
}

bool TStoreTableIO::SameStoredImage(const TBlobSlot& slot, const TMemoryStream& image) {
    if (slot.IsBlank() || !slot.Problem(file_.ImageSize()).empty() ||
        slot.Length != static_cast<int64_t>(image.Bytes().size())) {
        return false;
    }
    std::vector<uint8_t> stored(static_cast<size_t>(slot.Length));
    file_.ReadAt(slot.Offset, stored.data(), slot.Length);
    return stored == image.Bytes();
}

int32_t TStoreTableIO::AppendRecord(const TFieldBuffers& values, bool flush) {
    RequireLoaded();
    file_.CheckWritable();
    if (values.Count() != fieldDefs_.Count()) {
        throw EDatabaseError("Field count mismatch for table '" + tableName_ + "'");
    }
    TStoreFileIO::TWriteLock lock(file_);
    CheckHeaderOnDisk();
    if (hooks_) {
        hooks_->CheckUnique(*this, values, -1);
        hooks_->BeforeWrite(*this);
    }

    const int32_t autoField = AutoIncField();
    int32_t counter = header_.AutoIncCounter;
    int32_t autoValue = 0;
    if (autoField >= 0) {
        autoValue = values.Int32(autoField);
        if (autoValue == 0) {
            if (counter == INT32_MAX) {
                throw EDatabaseError("Auto-increment value of table '" + tableName_ +
                                     "' is exhausted");
            }
            autoValue = ++counter;
        } else if (autoValue > counter) {
            counter = autoValue;
        }
    }

    const int32_t n = header_.RecordTabCount;
    if (n == INT32_MAX) {
        throw EDatabaseError("Table '" + tableName_ + "' is full");
    }
    const int64_t end = file_.ImageSize();
    const bool newBlock = n % kTabEntriesPerBlock == 0;
    const int64_t dataOffset = newBlock ? end + kRecordTabBlockSize : end;

    // The whole record, fixed part and blob areas, is built before anything is written.
    std::vector<uint8_t> fixed(static_cast<size_t>(RecordSize()), 0);
    std::vector<uint8_t> native(fixed.size(), 0);
    std::vector<int32_t> encoded;
    std::vector<TPendingBlob> blobs;
    int64_t next = dataOffset + RecordSize();
    for (int32_t f = 0; f < fieldDefs_.Count(); ++f) {
        const TStoreFieldDef& def = fieldDefs_[f];
        if (def.IsBlob()) {
            TMemoryStream image;
            EncodeBlob(f, values[f], image);
            PlaceBlob(f, std::move(image), TBlobSlot(), next, fixed, blobs);
            continue;
        }
        if (f == autoField) {
            TFieldBufferItem item;
            item.Write = true;
            item.Bytes.resize(4);
            EncodeFixed32(reinterpret_cast<uint8_t*>(item.Bytes.data()), autoValue);
            NativeValue(f, item, native.data());
        } else {
            NativeValue(f, values[f], native.data());
        }
        encoded.push_back(f);
    }
    EncodeFields(encoded, native.data(), fixed.data());
    if (next > kMaxImageSize) {
        file_.SizeLimitReached();
    }

    try {
        if (newBlock) {
            TRecordTabBlock block;
            block.Items[0] = TRecordTabItem{static_cast<int32_t>(dataOffset), 0};
            std::vector<uint8_t> bytes(kRecordTabBlockSize);
            block.EncodeTo(bytes.data());
            file_.WriteAt(end, bytes.data(), kRecordTabBlockSize);
        }
        WriteRecordData(dataOffset, fixed, blobs, values);

        // Link the record in; none of this is read before the count below says so.
        if (!newBlock) {
            uint8_t entry[kRecordTabItemSize];
            TRecordTabItem{static_cast<int32_t>(dataOffset), 0}.EncodeTo(entry);
            file_.WriteAt(recordTabBlocks_.back() + RecordTabEntryOffset(n % kTabEntriesPerBlock),
                          entry, kRecordTabItemSize);
        } else if (n > 0) {
            uint8_t link[4];
            EncodeFixed32(link, static_cast<int32_t>(end));
            file_.WriteAt(recordTabBlocks_.back(), link, 4);
        }
        recordTab_.push_back(TRecordTabItem{static_cast<int32_t>(dataOffset), 0});
        if (newBlock) {
            recordTabBlocks_.push_back(static_cast<int32_t>(end));
        }
        if (hooks_) {
            appending_ = native.data();
            try {
                hooks_->RecordAdded(*this, n, static_cast<int32_t>(dataOffset));
            } catch (...) {
                appending_ = nullptr;
                throw;
            }
            appending_ = nullptr;
        }
        if (!batch_) {
            file_.OrderWrites();
        }

        // The commit: the record-tab count (with the first block and the counter); a
        // batch writes it once for all its appends.
        if (n == 0) {
            header_.FirstRecordBlock = static_cast<int32_t>(end);
        }
        header_.RecordTabCount = n + 1;
        header_.AutoIncCounter = counter;
        if (batch_) {
            batchPending_ = true;
        } else {
            WriteCounters(autoField >= 0);
        }
        physical_.push_back(TRecordItem{static_cast<int32_t>(dataOffset), n});
    } catch (...) {
        RecoverAfterFailedWrite();
        throw;
    }
    if (flush && !batch_) {
        file_.Flush();
    }
    return n;
}

void TStoreTableIO::BeginBatch() {
    RequireLoaded();
    if (batch_) {
        throw EDatabaseError("Table '" + tableName_ + "' is already in a batch");
    }
    file_.CheckWritable();
    file_.Lock();
    try {
        CheckHeaderOnDisk();
    } catch (...) {
        file_.Unlock();
        throw;
    }
    batch_ = true;
    batchPending_ = false;
    file_.SetGatherWrites(true);
}

void TStoreTableIO::WriteSwitches() {
    if (switches_.empty()) {
        return;
    }
    file_.OrderWrites();
    for (const TPendingSwitch& s : switches_) {
        uint8_t switchTo[4];
        EncodeFixed32(switchTo, s.DataOffset);
        file_.WriteAt(EntryPosition(s.RecNo), switchTo, 4);
    }
    switches_.clear();
}

void TStoreTableIO::CommitBatch() {
    if (!batch_) {
        return;
    }
    batch_ = false;
    try {
        WriteSwitches();
        if (batchPending_) {
            // Every appended record's data before the count that makes them all visible.
            file_.OrderWrites();
            WriteCounters(AutoIncField() >= 0);
            batchPending_ = false;
        }
        if (file_.NeedsFlush()) {
            file_.Flush();
        }
        file_.SetGatherWrites(false);
    } catch (...) {
        file_.DropGatheredWrites();
        file_.SetGatherWrites(false);
        RecoverAfterFailedWrite();
        file_.Unlock();
        throw;
    }
    file_.Unlock();
}

void TStoreTableIO::AbandonBatch() noexcept {
    if (!batch_) {
        return;
    }
    batch_ = false;
    try {
        file_.SetGatherWrites(false);
    } catch (...) {
        file_.DropGatheredWrites();
        file_.SetGatherWrites(false);
        batchPending_ = true;  // the copy may be ahead of the file now
    }
    if (batchPending_ || !switches_.empty()) {
        // The file's count and entries never covered them: taking the file again forgets them.
        RecoverAfterFailedWrite();
    }
    file_.Unlock();
}

void TStoreTableIO::ModifyRecord(int32_t position, const TFieldBuffers& values, bool flush) {
    RequireLoaded();
    file_.CheckWritable();
    CheckPosition(position);
    if (values.Count() != fieldDefs_.Count()) {
        throw EDatabaseError("Field count mismatch for table '" + tableName_ + "'");
    }
    TStoreFileIO::TWriteLock lock(file_);
    const TRecordItem record = RecheckedRecord(physical_[position]);
    if (hooks_) {
        hooks_->CheckUnique(*this, values, record.RecNo);
        hooks_->BeforeWrite(*this);
    }
    const std::vector<uint8_t> old = [&] {
        std::vector<uint8_t> bytes(static_cast<size_t>(RecordSize()));
        file_.ReadAt(record.DataOffset, bytes.data(), RecordSize());
        return bytes;
    }();

    // The new version is written where no live data is and then switched to with one
    // write of the record's data offset, so a crash leaves the old record or the new one,
    // never a mix. Values that did not change keep their areas.
    const int64_t dataOffset = file_.ImageSize();
    std::vector<uint8_t> fixed(old);
    std::vector<uint8_t> native(fixed.size(), 0);
    std::vector<int32_t> encoded;
    std::vector<TPendingBlob> blobs;
    int64_t next = dataOffset + RecordSize();
    int32_t counter = header_.AutoIncCounter;
    for (int32_t f = 0; f < fieldDefs_.Count(); ++f) {
        const TFieldBufferItem& value = values[f];
        if (!value.Write) {
            continue;
        }
        const TStoreFieldDef& def = fieldDefs_[f];
        if (def.IsBlob()) {
            TMemoryStream image;
            EncodeBlob(f, value, image);
            const TBlobSlot slot = TBlobSlot::DecodeFrom(old.data() + def.Offset);
            if (!SameStoredImage(slot, image)) {
                PlaceBlob(f, std::move(image), slot, next, fixed, blobs);
            }
            continue;
        }
        if (f == AutoIncField()) {
            const int32_t v = values.Int32(f);
            if (v == 0) {
                continue;
            }
            counter = std::max(counter, v);
        }
        NativeValue(f, value, native.data());
        encoded.push_back(f);
    }
    EncodeFields(encoded, native.data(), fixed.data());
    if (next > kMaxImageSize) {
        file_.SizeLimitReached();
    }
    if (fixed == old && counter == header_.AutoIncCounter) {
        if (flush) {
            file_.Flush();  // a repair may have written
        }
        return;
    }

    try {
        if (hooks_) {
            hooks_->RecordModifying(*this, values, record.RecNo);
        }
        if (counter != header_.AutoIncCounter) {
            header_.AutoIncCounter = counter;
            uint8_t bytes[4];
            EncodeFixed32(bytes, counter);
            file_.WriteAt(headerOffset_ + TTableHeader::kAutoIncOffset, bytes, 4);
        }
        WriteRecordData(dataOffset, fixed, blobs, values);
        // An index that unlinked the record links it again below, which must not come
        // before the switch a crash could still undo.
        if (batch_ && !(hooks_ && hooks_->Detached(*this, record.RecNo))) {
            switches_.push_back({record.RecNo, static_cast<int32_t>(dataOffset)});
        } else {
            WriteSwitches();
            file_.OrderWrites();
            uint8_t switchTo[4];
            EncodeFixed32(switchTo, static_cast<int32_t>(dataOffset));
            file_.WriteAt(EntryPosition(record.RecNo), switchTo, 4);
        }
        recordTab_[static_cast<size_t>(record.RecNo)].DataOffset = static_cast<int32_t>(dataOffset);
        physical_[static_cast<size_t>(PositionOf(record.RecNo))].DataOffset =
            static_cast<int32_t>(dataOffset);
        if (hooks_) {
            hooks_->RecordModified(*this, record.RecNo);
        }
    } catch (...) {
        RecoverAfterFailedWrite();
        throw;
    }
    if (flush) {
        file_.Flush();
    }
}

void TStoreTableIO::DeleteRecord(int32_t position, bool flush) {
    RequireLoaded();
    file_.CheckWritable();
    CheckPosition(position);
    TStoreFileIO::TWriteLock lock(file_);
    const TRecordItem record = RecheckedRecord(physical_[position]);
    position = PositionOf(record.RecNo);
    try {
        // The flag is written into the entry as it is on disk, so that must be final.
        WriteSwitches();
        if (hooks_) {
            hooks_->BeforeWrite(*this);
        }
        const int32_t at = EntryPosition(record.RecNo);
        uint8_t entry[kRecordTabItemSize];
        file_.ReadAt(at, entry, kRecordTabItemSize);
        entry[TRecordTabItem::kDeletedFlagOffset] = 1;
        file_.WriteAt(at, entry, kRecordTabItemSize);
        recordTab_[record.RecNo].Deleted = 1;
        physical_.erase(physical_.begin() + position);
        if (hooks_) {
            hooks_->RecordDeleted(*this, record.RecNo);
        }
    } catch (...) {
        RecoverAfterFailedWrite();
        throw;
    }
    if (flush) {
        file_.Flush();
    }
}

void TStoreTableIO::ReadRecord(int32_t recNo, uint8_t* buffer) {
    RequireLoaded();
    if (recNo < 0 || recNo >= static_cast<int32_t>(recordTab_.size()) ||
        !EntryUsable(recordTab_[recNo], file_.ImageSize())) {
        throw EDatabaseError("Record " + std::to_string(recNo) + " of table '" + tableName_ +
                             "' does not exist");
    }
    ReadRecordAt(recordTab_[recNo].DataOffset, buffer);
}

void TStoreTableIO::ReadRecordAt(int32_t dataOffset, uint8_t* buffer) {
    RequireLoaded();
    file_.ReadAt(dataOffset, buffer, RecordSize());
    DecodeFixedPart(buffer, buffer);
}

void TStoreTableIO::ReadFieldValue(int32_t dataOffset, int32_t field, uint8_t* dest) {
    RequireLoaded();
    const TStoreFieldDef& def = fieldDefs_[field];
    file_.ReadAt(static_cast<int64_t>(dataOffset) + def.Offset, dest, def.Width);
    if (!def.IsBlob()) {
        file_.DecodeFieldBuffer(dest, dest, FieldEncrypted(field), def.Width);
    }
}

std::unique_ptr<TOptimBlobStream> TStoreTableIO::BlobStream(const uint8_t* record, int32_t field) {
    RequireLoaded();
    const TBlobSlot slot = TBlobSlot::DecodeFrom(record + fieldDefs_[field].Offset);
    return std::make_unique<TOptimBlobStream>(
        [this, slot, field](TMemoryStream& dest) { ReadBlob(slot, field, dest); });
}

void TStoreTableIO::ReadBlob(const TBlobSlot& slot, int32_t field, TMemoryStream& dest) {
    RequireLoaded();
    if (field < 0 || field >= fieldDefs_.Count() || !fieldDefs_[field].IsBlob()) {
        throw EDatabaseError("Field " + std::to_string(field) + " of table '" + tableName_ +
                             "' holds no blob");
    }
    dest.Clear();
    const std::string& name = fieldDefs_[field].Name;
    if (slot.IsBlank()) {
        return;  // never written: an empty value
    }
    const std::string problem = slot.Problem(file_.ImageSize());
    if (!problem.empty()) {
        Damaged("the value of field '" + name + "' is unusable (" + problem + ")");
    }
    if (slot.Length == 0) {
        return;
    }
    TMemoryStream image;
    image.SetSize(slot.Length);
    file_.ReadAt(slot.Offset, image.Memory(), slot.Length);
    try {
        file_.DecodeStream(image, dest, FieldCompressed(field), FieldEncrypted(field));
    } catch (const EDatabaseError&) {
        throw;
    } catch (const quorv::Exception& e) {
        dest.Clear();
        Damaged("the value of field '" + name + "' cannot be decoded (" + e.what() + ")");
    }
}

std::string TStoreTableIO::TextOf(const uint8_t* value, int32_t width) {
    return DecodeFixedName(value, static_cast<size_t>(std::max(width, 0)));
}

}  // namespace quorv::store
