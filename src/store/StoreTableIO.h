#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/BlobSlot.h"
#include "store/FieldBuffers.h"
#include "store/FieldDefs.h"
#include "store/OptimBlobStream.h"
#include "store/RecordTab.h"
#include "store/TableHeader.h"
#include "store/processing/EncryptBase.h"
#include "store/processing/Streams.h"

namespace quorv::store {

class TFixedPartReader;
class TStoreFileIO;
class TStoreIndexHooks;

// One item of an in-memory order: where a record's fixed part is and its number.
struct TRecordItem {
    int32_t DataOffset = 0;
    int32_t RecNo = 0;
};
using TRecordList = std::vector<TRecordItem>;

// The storage of one table: its header, record tab and records. The in-memory copy is
// taken when the first user opens it and dropped when the last one closes.
//
// Appends are crash-safe: the record's data, then its record-tab entry, and only then the
// record-tab count in the header are written, so an interrupted append leaves the file as
// it was before it, plus dead bytes. A record the count covers but whose fixed part or
// blob data lies outside the file, or whose blob slots were never filled in, is damage:
// it is kept out of the orders so the rest stays usable, and listed in DamagedRecords.
class TStoreTableIO {
  public:
    TStoreTableIO(TStoreFileIO& file, std::string tableName);
    ~TStoreTableIO();
    TStoreTableIO(const TStoreTableIO&) = delete;
    TStoreTableIO& operator=(const TStoreTableIO&) = delete;

    // Counted: the first Open loads the table ("Table '%s' not found"), the last Close
    // drops it.
    void Open();
    void Close();
    int32_t UseCount() const { return useCount_; }
    bool Loaded() const { return loaded_; }
    // Reads the table from the file again.
    void Reload();

    void SetIndexHooks(TStoreIndexHooks* hooks) { hooks_ = hooks; }
    TStoreFileIO& File() { return file_; }

    const std::string& TableName() const { return tableName_; }
    int32_t DirectoryIndex() const { return directoryIndex_; }
    int32_t HeaderOffset() const { return headerOffset_; }
    const TTableHeader& Header() const { return header_; }
    // The index layer keeps its index items (first blocks, heads) in this copy and writes
    // it whole with WriteHeader.
    TTableHeader& MutableHeader() { return header_; }
    void WriteHeader();
    const TStoreFieldDefs& FieldDefs() const { return fieldDefs_; }
    const TStoreIndexDefs& IndexDefs() const { return indexDefs_; }
    int32_t RecordSize() const { return fieldDefs_.RecordSize(); }
    int32_t AutoIncField() const { return fieldDefs_.AutoIncField(); }
    const TRecordTabItems& RecordTab() const { return recordTab_; }
    const std::vector<int32_t>& RecordTabBlocks() const { return recordTabBlocks_; }
    // Live records in record-number order.
    const TRecordList& PhysicalOrder() const { return physical_; }
    // Position of a record in the physical order, or -1.
    int32_t PositionOf(int32_t recNo) const;
    // A record that exists and is not deleted.
    bool IsLive(int32_t recNo) const;
    // Record numbers the record tab counts as live but whose data the file does not hold
    // whole, in record-number order; they are in no order.
    const std::vector<int32_t>& DamagedRecords() const { return damaged_; }

    // Whether a field's stored value is compressed / enciphered in this database.
    bool FieldCompressed(int32_t field) const;
    bool FieldEncrypted(int32_t field) const;

    // A batch of writes (see TStoreBatch): from BeginBatch to CommitBatch this process holds
    // the write lock, and appends keep the record count that makes them visible in memory
    // until CommitBatch writes it after one data sync and flushes. A modify whose keys keep
    // their places in every index waits the same way: its new version is written at once,
    // the switch of its entry to it after that sync. AbandonBatch drops the appends and
    // switches not yet committed.
    void BeginBatch();
    void CommitBatch();
    void AbandonBatch() noexcept;
    bool InBatch() const { return batch_; }

    // Writes a new record; returns its record number.
    int32_t AppendRecord(const TFieldBuffers& values, bool flush = false);
    // Rewrites the fields whose Write flag is set of the record at `position` in the
    // physical order. The record keeps its number; its new version is written to the end
    // of the file and takes the place of the old one with one write, so a crash leaves
    // either version whole. Inside a batch that write may wait for the commit.
    void ModifyRecord(int32_t position, const TFieldBuffers& values, bool flush = false);
    void DeleteRecord(int32_t position, bool flush = false);

    // The record's fixed part (RecordSize bytes) with every fixed-width value deciphered;
    // blob slots as stored.
    void ReadRecord(int32_t recNo, uint8_t* buffer);
    void ReadRecordAt(int32_t dataOffset, uint8_t* buffer);
    // One field's deciphered bytes (its stored width) of the record at dataOffset.
    void ReadFieldValue(int32_t dataOffset, int32_t field, uint8_t* dest);
    // Every fixed-width value of a stored fixed part deciphered into `plain` (which may be
    // `stored`); blob slots are left alone. With textOnly, a string value is deciphered
    // only as far as its text goes: what follows its first NUL is left undefined.
    void DecodeFixedPart(const uint8_t* stored, uint8_t* plain, bool textOnly = false);
    // A memo or blob value of a record read with ReadRecord, loaded on first use.
    std::unique_ptr<TOptimBlobStream> BlobStream(const uint8_t* record, int32_t field);
    // The whole value a blob slot of `field` describes.
    void ReadBlob(const TBlobSlot& slot, int32_t field, TMemoryStream& dest);

    // While an append calls RecordAdded: the new record's fixed part with every fixed-width
    // value in plain, so the hook need not read back what was just written. Null otherwise.
    const uint8_t* AppendingRecord() const { return appending_; }

    // The text of a string field's deciphered bytes (up to the first NUL).
    static std::string TextOf(const uint8_t* value, int32_t width);

  private:
    void Load();
    void Release();
    void RequireLoaded() const;
    [[noreturn]] void Damaged(const std::string& what) const;
    // Reloads the table when another process changed it since it was loaded.
    void CheckHeaderOnDisk();
    // "Record position %d of table '%s' does not exist" outside the physical order.
    void CheckPosition(int32_t position) const;
    // The record again after CheckHeaderOnDisk; raises when it is gone.
    TRecordItem RecheckedRecord(TRecordItem record);
    int32_t EntryPosition(int32_t recNo) const;
    bool EntryUsable(const TRecordTabItem& item, int64_t imageSize) const;
    // `fixedParts` reads the records' fixed parts for the check; one serves a whole load.
    bool EntryComplete(const TRecordTabItem& item, int64_t imageSize, TFixedPartReader& fixedParts);
    // A value in its stored width, not yet enciphered, at its place in `native`.
    void NativeValue(int32_t field, const TFieldBufferItem& value, uint8_t* native) const;
    // The fields' values from `native` enciphered (or copied) into `fixed`, in one batch.
    void EncodeFields(const std::vector<int32_t>& fields, const uint8_t* native, uint8_t* fixed);
    void EncodeBlob(int32_t field, const TFieldBufferItem& value, TMemoryStream& image);
    // A memo or blob image bound for a new area after the record's fixed part.
    struct TPendingBlob {
        int32_t Field;
        TMemoryStream Image;
        int32_t Offset;
        int32_t Area;
    };
    // Gives the image the next area from `next` on and fills in its slot in `fixed`.
    void PlaceBlob(int32_t field, TMemoryStream image, const TBlobSlot& old, int64_t& next,
                   std::vector<uint8_t>& fixed, std::vector<TPendingBlob>& blobs);
    // Writes a fixed part followed by its new areas; verifies them when the database asks
    // for it (a changed length is written into `fixed` and the file).
    void WriteRecordData(int64_t dataOffset, std::vector<uint8_t>& fixed,
                         std::vector<TPendingBlob>& blobs, const TFieldBuffers& values);
    // The slot holds exactly this image, in a sound area.
    bool SameStoredImage(const TBlobSlot& slot, const TMemoryStream& image);
    void WriteImageAndFiller(const TMemoryStream& image, int32_t offset, int32_t area);
    int32_t VerifyBlob(int32_t field, const TFieldBufferItem& value, TMemoryStream& image,
                       int32_t offset, int32_t area);
    void WriteCounters(bool withAutoInc);
    // After a failed write the in-memory copy may be ahead of the file: take it again.
    void RecoverAfterFailedWrite() noexcept;

    TStoreFileIO& file_;
    std::string tableName_;
    TStoreIndexHooks* hooks_ = nullptr;
    int32_t useCount_ = 0;
    bool loaded_ = false;
    bool hasBlobs_ = false;
    int32_t directoryIndex_ = -1;
    int32_t headerOffset_ = 0;
    TTableHeader header_;
    TStoreFieldDefs fieldDefs_;
    TStoreIndexDefs indexDefs_;
    TRecordTabItems recordTab_;
    std::vector<int32_t> recordTabBlocks_;
    TRecordList physical_;
    std::vector<int32_t> damaged_;
    std::vector<TCipherMessage> messages_;  // scratch of the batch calls
    std::vector<int32_t> longerTexts_;
    const uint8_t* appending_ = nullptr;
    bool batch_ = false;
    bool batchPending_ = false;  // appends whose count is not yet on disk
    // Record-tab entries of a batch's modifies still to be switched to their new versions.
    struct TPendingSwitch {
        int32_t RecNo;
        int32_t DataOffset;
    };
    std::vector<TPendingSwitch> switches_;
    // Syncs the new versions, then switches the entries to them.
    void WriteSwitches();
};

}  // namespace quorv::store
