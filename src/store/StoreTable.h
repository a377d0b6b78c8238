#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/FieldDefs.h"
#include "store/KeyCompare.h"
#include "store/OptimBlobStream.h"
#include "store/StoreFileIO.h"
#include "store/StoreTableIO.h"

namespace quorv::store {

class TStoreDatabase;
class TStoreIndexes;
class TStoreTable;

enum class TDataSetState : uint8_t { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey };

// Index options as the dataset framework names them.
enum TIndexOption : uint8_t {
    ixPrimary = 1 << 0,
    ixUnique = 1 << 1,
    ixDescending = 1 << 2,
    ixCaseInsensitive = 1 << 3,
};

struct TIndexDefInfo {
    std::string Name;
    std::string Fields;   // field names joined by ","
    uint8_t Options = 0;  // TIndexOption bits
};

// One column of a cursor's current record (or of its key buffer in the set-key state).
class TStoreField {
  public:
    TStoreField(TStoreTable& table, int32_t fieldNo) : table_(table), fieldNo_(fieldNo) {}

    const std::string& FieldName() const;
    uint8_t DataType() const;
    int32_t Size() const;
    int32_t FieldNo() const { return fieldNo_; }
    bool IsBlob() const;

    // Text form: numbers in decimal, booleans "True"/"False", dates "YYYY-MM-DD", times
    // "HH:MM:SS.mmm", date-times "YYYY-MM-DD HH:MM:SS.mmm", memo and blob values as their
    // bytes. Setting parses the same forms (date-times may use "T" as well).
    std::string AsString() const;
    void SetAsString(std::string_view text);
    int32_t AsInteger() const;
    void SetAsInteger(int32_t value);
    int64_t AsLargeInt() const;
    void SetAsLargeInt(int64_t value);
    double AsFloat() const;
    void SetAsFloat(double value);
    bool AsBoolean() const;
    void SetAsBoolean(bool value);
    // The value in the store's native form (see TKeyValues).
    std::string Native() const;
    void SetNative(std::string value);

  private:
    TStoreTable& table_;
    int32_t fieldNo_;
};

// A cursor over one table in the order of an index (or physically), with the dataset
// framework's protocol: browse, edit, insert and set-key states, Post and Cancel.
class TStoreTable {
  public:
    using TEvent = std::function<void(TStoreTable&)>;

    TStoreTable();
    ~TStoreTable();
    TStoreTable(const TStoreTable&) = delete;
    TStoreTable& operator=(const TStoreTable&) = delete;

    // These change only while the cursor is closed. Setting DatabaseName also clears
    // TableName and IndexName.
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& name);
    const std::string& SessionName() const { return sessionName_; }
    void SetSessionName(const std::string& name);
    const std::string& TableName() const { return tableName_; }
    void SetTableName(const std::string& name);
    TStoreMediumType MediumType() const { return medium_; }
    void SetMediumType(TStoreMediumType medium);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    // May change while open: the cursor keeps its record and takes the new order.
    const std::string& IndexName() const { return indexName_; }
    void SetIndexName(const std::string& name);
    // Record-number order whatever IndexName says (tools that list records as stored).
    bool NaturalOrder() const { return naturalOrder_; }
    void SetNaturalOrder(bool on);

    // Opens (connecting if needed) the table's database and gives it the password.
    void SetPassword(const std::string& password);

    bool Active() const { return state_ != TDataSetState::dsInactive; }
    void SetActive(bool active);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return state_; }
    TStoreDatabase* Database() const { return database_; }
    bool CanModify() const;

    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof();
    bool Bof();
    int32_t RecordCount();
    bool IsEmpty() { return RecordCount() == 0; }
    // Records of the table left out of every order because the file does not hold them
    // whole (see TStoreTableIO::DamagedRecords); their record numbers.
    std::vector<int32_t> DamagedRecords() const;
    int32_t DamagedRecordCount() const { return static_cast<int32_t>(DamagedRecords().size()); }
    // The current record's number (its bookmark), -1 without one.
    int32_t Bookmark();
    void GotoBookmark(int32_t recNo);

    void Insert();
    void Append() { Insert(); }
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    // Posts a modified pending record, cancels an unmodified one.
    void CheckBrowseMode();
    bool Modified() const { return modified_; }

    int32_t FieldCount() const;
    TStoreField& Fields(int32_t index);
    TStoreField& FieldByName(std::string_view name);
    TStoreField* FindField(std::string_view name);
    const TStoreFieldDefs& FieldDefs() const;
    std::vector<TIndexDefInfo> IndexDefs() const;

    void SetKey();
    bool GotoKey(const std::string& indexName);
    // Positions on the first record whose key starts with `values` (text forms, one per
    // key field from the first); false and no move when there is none.
    bool FindKey(const std::string& indexName, const std::vector<std::string>& values);

    // Takes the storage object's current orders again.
    void Refresh();

    TEvent BeforeScroll, AfterScroll;

  private:
    friend class TStoreField;
    friend class TStoreDatabase;

    struct TBufferField {
        std::string Value;  // native form
        std::unique_ptr<TOptimBlobStream> Blob;
    };

    void RequireClosed() const;
    void RequireOpen() const;
    // The cursor's database in its session, connected (a temporary one when none has the name).
    TStoreDatabase& ConnectDatabase() const;
    void OpenCursor();
    void CloseCursor(bool releaseDatabase);
    // The database closes its cursors before it disconnects.
    void DatabaseClosing();
    int32_t ResolveOrder() const;
    const TRecordList& List() const;
    void Sync();
    void MoveTo(int32_t position);
    void LoadBuffer();
    void InitNewBuffer();
    const std::string& FieldValue(int32_t field);
    void SetFieldValue(int32_t field, std::string value);
    void PlaceAfterWrite(int32_t recNo);
    // The index named for a key search; "Invalid index name" when there is none.
    int32_t KeyIndex(const std::string& indexName) const;
    // Positions on the first record equal to the key buffer's leading values in the index.
    bool GotoKeyAt(int32_t index);
    // BeforeScroll and AfterScroll, each only when set.
    void Scrolling();
    void Scrolled();
    // MoveTo a record inside the list (neither end passed), then AfterScroll.
    void ScrollTo(int32_t position);

    std::string databaseName_;
    std::string sessionName_;
    std::string tableName_;
    std::string indexName_;
    TStoreMediumType medium_ = mtDisk;
    bool readOnly_ = false;
    bool naturalOrder_ = false;

    TDataSetState state_ = TDataSetState::dsInactive;
    TDataSetState stateBeforeKey_ = TDataSetState::dsBrowse;
    TStoreDatabase* database_ = nullptr;
    TStoreTableIO* tableIO_ = nullptr;
    TStoreIndexes* indexes_ = nullptr;
    std::vector<std::unique_ptr<TStoreField>> fields_;
    int32_t order_ = -1;
    int32_t pos_ = -1;
    int32_t recNo_ = -1;
    bool eof_ = true;
    bool bof_ = true;
    bool modified_ = false;
    bool bufferValid_ = false;
    int64_t knownImageSize_ = 0;
    // Bytes read ahead: the file's bytes from windowStart_, as stored.
    std::vector<uint8_t> readBuffer_;
    int64_t windowStart_ = 0;
    int64_t windowLength_ = 0;
    uint64_t windowChanges_ = 0;
    std::chrono::steady_clock::time_point windowTime_;
    int64_t lastDataOffset_ = INT64_MAX;
    std::vector<uint8_t> recordBuffer_;
    std::vector<TBufferField> buffer_;
    std::vector<std::optional<std::string>> keyBuffer_;
};

}  // namespace quorv::store
