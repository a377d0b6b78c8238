#include "store/StoreTable.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "store/BlobSlot.h"
#include "store/Coding.h"
#include "store/FieldTypes.h"
#include "store/FileLayout.h"
#include "store/StoreDatabase.h"
#include "store/StoreIndexes.h"
#include "store/StoreSession.h"
#include "store/StoreTableIO.h"
#include "store/Utf8.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {

namespace {

constexpr int64_t kMsPerDay = 86400000;
// Bytes read beyond a record's fixed part in the hope of taking its memo along.
constexpr int32_t kReadAhead = 512;
// Reading ahead for a walk in file order: how much, how near the next record must start,
// and how long the piece may serve.
constexpr int64_t kWindowSize = 64 * 1024;
constexpr int64_t kSequentialGap = 16 * 1024;
constexpr auto kWindowLife = std::chrono::milliseconds(50);

// Local date and time of day now, as the stored day number and milliseconds.
void Now(int32_t& dayNumber, int32_t& msOfDay) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    dayNumber = DayNumberFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    msOfDay =
        ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000 + static_cast<int32_t>(ms);
}

}  // namespace

TStoreTable::TStoreTable() = default;

TStoreTable::~TStoreTable() {
    try {
        CloseCursor(true);
    } catch (...) {
        // Closing only releases; nothing worth reporting from a destructor.
    }
}

void TStoreTable::RequireClosed() const {
    if (Active()) {
        throw EDatabaseError("Cannot perform this operation on an open dataset");
    }
}

void TStoreTable::RequireOpen() const {
    if (!Active()) {
        throw EDatabaseError("Cannot perform this operation on a closed dataset");
    }
}

void TStoreTable::SetDatabaseName(const std::string& name) {
    RequireClosed();
    databaseName_ = name;
    tableName_.clear();
    indexName_.clear();
}

void TStoreTable::SetSessionName(const std::string& name) {
    RequireClosed();
    sessionName_ = name;
}

void TStoreTable::SetTableName(const std::string& name) {
    RequireClosed();
    tableName_ = name;
}

void TStoreTable::SetMediumType(TStoreMediumType medium) {
    RequireClosed();
    medium_ = medium;
}

void TStoreTable::SetReadOnly(bool readOnly) {
    RequireClosed();
    readOnly_ = readOnly;
}

void TStoreTable::SetIndexName(const std::string& name) {
    if (!Active()) {
        indexName_ = name;
        return;
    }
    CheckBrowseMode();
    indexName_ = name;
    order_ = ResolveOrder();
    Sync();
}

void TStoreTable::SetNaturalOrder(bool on) {
    naturalOrder_ = on;
    if (Active()) {
        CheckBrowseMode();
        order_ = ResolveOrder();
        Sync();
    }
}

TStoreDatabase& TStoreTable::ConnectDatabase() const {
    if (databaseName_.empty()) {
        throw EDatabaseError("Database name missing");
    }
    return TStoreSessionList::FindSession(sessionName_).OpenDatabase(databaseName_, medium_);
}

void TStoreTable::SetPassword(const std::string& password) {
    ConnectDatabase().SetPassword(password);
}

void TStoreTable::SetActive(bool active) {
    if (active) {
        OpenCursor();
    } else {
        CloseCursor(true);
    }
}

void TStoreTable::OpenCursor() {
    if (Active()) {
        return;
    }
    TStoreDatabase& db = ConnectDatabase();
    db.CursorOpened();
    db.Bind(this);
    try {
        db.CheckAccess();
        TStoreTableIO* io = db.FindTableIO(tableName_);
        if (!io) {
            throw EDatabaseError("Table '" + tableName_ + "' not found");
        }
        io->Open();
        database_ = &db;
        tableIO_ = io;
        indexes_ = &db.IndexesOf(*io);
    } catch (...) {
        db.Unbind(this);
        db.CursorClosed();
        throw;
    }
    fields_.clear();
    for (int32_t f = 0; f < tableIO_->FieldDefs().Count(); ++f) {
        fields_.push_back(std::make_unique<TStoreField>(*this, f));
    }
    buffer_.clear();
    buffer_.resize(static_cast<size_t>(FieldCount()));
    keyBuffer_.assign(static_cast<size_t>(FieldCount()), std::nullopt);
    state_ = TDataSetState::dsBrowse;
    modified_ = false;
    bufferValid_ = false;
    knownImageSize_ = 0;  // may be another file than last time
    windowLength_ = 0;
    lastDataOffset_ = INT64_MAX;
    order_ = ResolveOrder();
    pos_ = -1;
    recNo_ = -1;
    const TRecordList& list = List();
    if (!list.empty()) {
        MoveTo(0);
    }
    bof_ = true;
    eof_ = list.empty();
}

void TStoreTable::CloseCursor(bool releaseDatabase) {
    if (!Active()) {
        return;
    }
    state_ = TDataSetState::dsInactive;
    buffer_.clear();
    keyBuffer_.clear();
    fields_.clear();
    bufferValid_ = false;
    modified_ = false;
    TStoreDatabase* db = database_;
    tableIO_->Close();
    database_ = nullptr;
    tableIO_ = nullptr;
    indexes_ = nullptr;
    pos_ = -1;
    recNo_ = -1;
    if (releaseDatabase && db) {
        db->Unbind(this);
        db->CursorClosed();
    }
}

void TStoreTable::DatabaseClosing() {
    CloseCursor(false);
}

bool TStoreTable::CanModify() const {
    return Active() && !readOnly_ && database_->CanModify();
}

int32_t TStoreTable::ResolveOrder() const {
    if (naturalOrder_) {
        return -1;
    }
    if (!indexName_.empty()) {
        const int32_t i = indexes_->IndexOf(indexName_);
        if (i >= 0) {
            return i;
        }
    }
    return indexes_->PrimaryIndex();
}

const TRecordList& TStoreTable::List() const {
    return indexes_->Order(order_);
}

void TStoreTable::Sync() {
    // The storage object's orders change under every cursor of the table (and are
    // rebuilt when another program changed the file): find our record again by number.
    if (order_ >= indexes_->Count()) {
        order_ = ResolveOrder();
    }
    const TRecordList& list = List();
    const auto size = static_cast<int32_t>(list.size());
    if (size == 0) {
        pos_ = -1;
        recNo_ = -1;
        bufferValid_ = false;
        return;
    }
    if (pos_ >= 0 && pos_ < size && list[static_cast<size_t>(pos_)].RecNo == recNo_) {
        return;
    }
    int32_t p = recNo_ >= 0 ? indexes_->PositionOf(order_, recNo_) : -1;
    if (p < 0) {
        p = std::clamp(pos_, 0, size - 1);
        recNo_ = list[static_cast<size_t>(p)].RecNo;
        bufferValid_ = false;
    }
    pos_ = p;
}

void TStoreTable::MoveTo(int32_t position) {
    const TRecordList& list = List();
    pos_ = position;
    recNo_ = list.at(static_cast<size_t>(position)).RecNo;
    bufferValid_ = false;
}

void TStoreTable::Scrolling() {
    if (BeforeScroll) {
        BeforeScroll(*this);
    }
}

void TStoreTable::Scrolled() {
    if (AfterScroll) {
        AfterScroll(*this);
    }
}

void TStoreTable::ScrollTo(int32_t position) {
    MoveTo(position);
    bof_ = false;
    eof_ = false;
    Scrolled();
}

void TStoreTable::First() {
    RequireOpen();
    CheckBrowseMode();
    Scrolling();
    Sync();
    if (!List().empty()) {
        MoveTo(0);
    }
    bof_ = true;
    eof_ = List().empty();
    Scrolled();
}

void TStoreTable::Last() {
    RequireOpen();
    CheckBrowseMode();
    Scrolling();
    Sync();
    if (!List().empty()) {
        MoveTo(static_cast<int32_t>(List().size()) - 1);
    }
    eof_ = true;
    bof_ = List().empty();
    Scrolled();
}

void TStoreTable::Next() {
    RequireOpen();
    CheckBrowseMode();
    Sync();
    if (pos_ >= 0 && pos_ + 1 < static_cast<int32_t>(List().size())) {
        Scrolling();
        ScrollTo(pos_ + 1);
    } else {
        eof_ = true;
    }
}

void TStoreTable::Prior() {
    RequireOpen();
    CheckBrowseMode();
    Sync();
    if (pos_ > 0) {
        Scrolling();
        ScrollTo(pos_ - 1);
    } else {
        bof_ = true;
    }
}

bool TStoreTable::Eof() {
    if (!Active()) {
        return true;
    }
    Sync();
    return eof_ || recNo_ < 0;
}

bool TStoreTable::Bof() {
    if (!Active()) {
        return true;
    }
    Sync();
    return bof_ || recNo_ < 0;
}

int32_t TStoreTable::RecordCount() {
    RequireOpen();
    Sync();
    return static_cast<int32_t>(List().size());
}

std::vector<int32_t> TStoreTable::DamagedRecords() const {
    RequireOpen();
    return tableIO_->DamagedRecords();
}

int32_t TStoreTable::Bookmark() {
    RequireOpen();
    Sync();
    return recNo_;
}

void TStoreTable::GotoBookmark(int32_t recNo) {
    RequireOpen();
    CheckBrowseMode();
    const int32_t p = indexes_->PositionOf(order_, recNo);
    if (p < 0) {
        throw EDatabaseError("Bookmark not found");
    }
    Scrolling();
    ScrollTo(p);
}

// ---- editing --------------------------------------------------------------------------

void TStoreTable::InitNewBuffer() {
    int32_t today = 0;
    int32_t time = 0;
    Now(today, time);
    // The date-time scale's zero: 30 December 1899, midnight.
    static const int32_t kDateTimeZero = DayNumberFromCivil(1899, 12, 30);
    for (int32_t f = 0; f < FieldCount(); ++f) {
        const TStoreFieldDef& def = FieldDefs()[f];
        TBufferField& b = buffer_[static_cast<size_t>(f)];
        b.Blob.reset();
        if (def.IsBlob()) {
            b.Value.clear();
            b.Blob = std::make_unique<TOptimBlobStream>();
        } else if (IsStringFieldType(def.FieldType)) {
            b.Value.clear();
        } else if (def.FieldType == ftDate) {
            b.Value = NativeInt32(today);
        } else if (def.FieldType == ftTime) {
            b.Value = NativeInt32(time);
        } else if (def.FieldType == ftDateTime) {
            b.Value = NativeDouble(static_cast<double>(kDateTimeZero) * kMsPerDay);
        } else {
            b.Value.assign(static_cast<size_t>(def.Width), '\0');
        }
    }
    bufferValid_ = true;
}

void TStoreTable::LoadBuffer() {
    TStoreFileIO& file = database_->FileIO();
    const int32_t size = tableIO_->RecordSize();
    const int32_t dataOffset = List().at(static_cast<size_t>(pos_)).DataOffset;
    // An appended record's memo and blob areas follow its fixed part, so one read
    // usually brings them along. Images never shrink: a size seen once still bounds
    // the read, and the size is asked again only near the end.
    if (dataOffset + static_cast<int64_t>(size) + kReadAhead > knownImageSize_) {
        knownImageSize_ = file.ImageSize();
    }
    const int64_t image = knownImageSize_;
    const int64_t want = std::min<int64_t>(size + kReadAhead, image - dataOffset);
    if (dataOffset < kDataAreaOffset || want < size) {
        file.Damaged("table '" + tableIO_->TableName() + "': record " + std::to_string(recNo_) +
                     " lies outside the file");
    }
    // A walk in file order reads ahead in one large piece. The piece serves only that
    // walk for a few moments and never outlives a write through this table.
    const auto now = std::chrono::steady_clock::now();
    const bool inWindow = windowLength_ > 0 && windowChanges_ == indexes_->Changes() &&
                          now - windowTime_ < kWindowLife && dataOffset >= windowStart_ &&
                          dataOffset + want <= windowStart_ + windowLength_;
    if (!inWindow) {
        const bool sequential =
            dataOffset > lastDataOffset_ && dataOffset - lastDataOffset_ <= kSequentialGap;
        const int64_t length =
            sequential ? std::max<int64_t>(want, std::min<int64_t>(kWindowSize, image - dataOffset))
                       : want;
        if (readBuffer_.size() < static_cast<size_t>(length)) {
            readBuffer_.resize(static_cast<size_t>(length));
        }
        file.ReadAt(dataOffset, readBuffer_.data(), length);
        windowStart_ = dataOffset;
        windowLength_ = length;
        windowChanges_ = indexes_->Changes();
        windowTime_ = now;
    }
    lastDataOffset_ = dataOffset;
    const uint8_t* bytes = readBuffer_.data() + (dataOffset - windowStart_);
    const int64_t available = windowStart_ + windowLength_ - dataOffset;
    std::vector<uint8_t>& plain = recordBuffer_;
    plain.resize(static_cast<size_t>(size));
    // Only the text of a string value is kept below, so no more of it is deciphered.
    tableIO_->DecodeFixedPart(bytes, plain.data(), true);
    for (int32_t f = 0; f < FieldCount(); ++f) {
        const TStoreFieldDef& def = FieldDefs()[f];
        TBufferField& b = buffer_[static_cast<size_t>(f)];
        const uint8_t* stored = bytes + def.Offset;
        uint8_t* at = plain.data() + def.Offset;
        b.Blob.reset();
        if (def.IsBlob()) {
            b.Value.clear();
            const TBlobSlot slot = TBlobSlot::DecodeFrom(stored);
            const bool inside =
                slot.Length > 0 && slot.Offset >= dataOffset + size &&
                slot.Offset + static_cast<int64_t>(slot.Length) <= dataOffset + available &&
                slot.Problem(image).empty();
            if (!inside) {
                b.Blob = tableIO_->BlobStream(bytes, f);
                continue;
            }
            auto storedImage = std::make_shared<TMemoryStream>();
            storedImage->LoadFromBuffer(bytes + (slot.Offset - dataOffset),
                                        static_cast<size_t>(slot.Length));
            const bool compressed = tableIO_->FieldCompressed(f);
            const bool encrypted = tableIO_->FieldEncrypted(f);
            TStoreTableIO* io = tableIO_;
            b.Blob = std::make_unique<TOptimBlobStream>(
                [storedImage, compressed, encrypted, io, f](TMemoryStream& dest) {
                    dest.Clear();
                    storedImage->SetPosition(0);
                    try {
                        io->File().DecodeStream(*storedImage, dest, compressed, encrypted);
                    } catch (const EDatabaseError&) {
                        throw;
                    } catch (const quorv::Exception& e) {
                        dest.Clear();
                        io->File().Damaged("table '" + io->TableName() + "': the value of field '" +
                                           io->FieldDefs()[f].Name + "' cannot be decoded (" +
                                           e.what() + ")");
                    }
                });
        } else {
            if (IsStringFieldType(def.FieldType)) {
                b.Value = DecodeFixedName(at, static_cast<size_t>(def.Width));
            } else {
                b.Value.assign(reinterpret_cast<const char*>(at), static_cast<size_t>(def.Width));
            }
        }
    }
    bufferValid_ = true;
}

void TStoreTable::Insert() {
    RequireOpen();
    CheckBrowseMode();
    if (!CanModify()) {
        throw EDatabaseError("Cannot modify a read-only dataset");
    }
    Sync();
    InitNewBuffer();
    state_ = TDataSetState::dsInsert;
    modified_ = false;
}

void TStoreTable::Edit() {
    RequireOpen();
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        return;
    }
    CheckBrowseMode();
    if (!CanModify()) {
        throw EDatabaseError("Cannot modify a read-only dataset");
    }
    Sync();
    if (recNo_ < 0) {
        Insert();
        return;
    }
    LoadBuffer();
    state_ = TDataSetState::dsEdit;
    modified_ = false;
}

void TStoreTable::Post() {
    RequireOpen();
    if (state_ == TDataSetState::dsSetKey) {
        state_ = stateBeforeKey_;
        return;
    }
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
        throw EDatabaseError("Dataset not in edit or insert mode");
    }
    TFieldBuffers values(FieldCount());
    for (int32_t f = 0; f < FieldCount(); ++f) {
        TBufferField& b = buffer_[static_cast<size_t>(f)];
        if (FieldDefs()[f].IsBlob()) {
            b.Blob->SetPosition(0);
            values.SetBlob(f, b.Blob.get());
        } else {
            values[f].Write = true;
            values[f].Bytes = b.Value;
        }
    }
    int32_t recNo;
    if (state_ == TDataSetState::dsInsert) {
        recNo = tableIO_->AppendRecord(values);
    } else {
        recNo = recNo_;
        const int32_t physical = tableIO_->PositionOf(recNo);
        if (physical < 0) {
            throw EDatabaseError("Record not found");
        }
        tableIO_->ModifyRecord(physical, values);
    }
    state_ = TDataSetState::dsBrowse;
    modified_ = false;
    PlaceAfterWrite(recNo);
}

void TStoreTable::PlaceAfterWrite(int32_t recNo) {
    const TRecordList& list = List();
    int32_t p = indexes_->LastPlaced(order_);
    if (p < 0 || p >= static_cast<int32_t>(list.size()) ||
        list[static_cast<size_t>(p)].RecNo != recNo) {
        p = indexes_->PositionOf(order_, recNo);
    }
    recNo_ = recNo;
    pos_ = p;
    bufferValid_ = false;
    bof_ = false;
    eof_ = false;
    Sync();
}

void TStoreTable::Cancel() {
    RequireOpen();
    if (state_ == TDataSetState::dsSetKey) {
        state_ = stateBeforeKey_;
        return;
    }
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        state_ = TDataSetState::dsBrowse;
        modified_ = false;
        bufferValid_ = false;
    }
}

void TStoreTable::Delete() {
    RequireOpen();
    if (state_ == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    if (state_ == TDataSetState::dsEdit) {
        Cancel();
    }
    CheckBrowseMode();
    if (!CanModify()) {
        throw EDatabaseError("Cannot modify a read-only dataset");
    }
    Sync();
    if (recNo_ < 0) {
        throw EDatabaseError("No records");
    }
    const int32_t physical = tableIO_->PositionOf(recNo_);
    if (physical < 0) {
        throw EDatabaseError("Record not found");
    }
    Scrolling();
    const int32_t at = pos_;
    tableIO_->DeleteRecord(physical);
    // The record that followed takes the place; after the last one, the new last.
    const auto size = static_cast<int32_t>(List().size());
    if (size == 0) {
        pos_ = -1;
        recNo_ = -1;
        bufferValid_ = false;
        bof_ = true;
        eof_ = true;
    } else {
        MoveTo(std::min(at, size - 1));
        bof_ = false;
        eof_ = false;
    }
    Scrolled();
}

void TStoreTable::CheckBrowseMode() {
    RequireOpen();
    switch (state_) {
        case TDataSetState::dsEdit:
        case TDataSetState::dsInsert:
            if (modified_) {
                Post();
            } else {
                Cancel();
            }
            break;
        case TDataSetState::dsSetKey:
            state_ = stateBeforeKey_;
            break;
        default:
            break;
    }
}

// ---- fields ---------------------------------------------------------------------------

int32_t TStoreTable::FieldCount() const {
    return static_cast<int32_t>(fields_.size());
}

TStoreField& TStoreTable::Fields(int32_t index) {
    RequireOpen();
    return *fields_.at(static_cast<size_t>(index));
}

TStoreField* TStoreTable::FindField(std::string_view name) {
    if (!Active()) {
        return nullptr;
    }
    const int32_t f = tableIO_->FieldDefs().IndexOf(name);
    return f < 0 ? nullptr : fields_[static_cast<size_t>(f)].get();
}

TStoreField& TStoreTable::FieldByName(std::string_view name) {
    TStoreField* field = FindField(name);
    if (!field) {
        throw EDatabaseError("Field '" + std::string(name) + "' not found");
    }
    return *field;
}

const TStoreFieldDefs& TStoreTable::FieldDefs() const {
    RequireOpen();
    return tableIO_->FieldDefs();
}

std::vector<TIndexDefInfo> TStoreTable::IndexDefs() const {
    RequireOpen();
    std::vector<TIndexDefInfo> defs;
    for (int32_t i = 0; i < indexes_->Count(); ++i) {
        const TStoreIndexDef& def = indexes_->Def(i);
        TIndexDefInfo info;
        info.Name = def.Name;
        for (int32_t f : def.FieldNumbers) {
            if (!info.Fields.empty()) {
                info.Fields += ',';
            }
            info.Fields += tableIO_->FieldDefs()[f].Name;
        }
        // The option bits line up with the framework's.
        info.Options = def.Options & (ixPrimary | ixUnique | ixDescending | ixCaseInsensitive);
        defs.push_back(info);
    }
    return defs;
}

const std::string& TStoreTable::FieldValue(int32_t field) {
    RequireOpen();
    static const std::string kEmpty;
    if (state_ == TDataSetState::dsSetKey) {
        const auto& v = keyBuffer_.at(static_cast<size_t>(field));
        return v ? *v : kEmpty;
    }
    if (state_ == TDataSetState::dsBrowse) {
        Sync();
        if (recNo_ < 0) {
            return kEmpty;  // an empty cursor reads as empty values
        }
        if (!bufferValid_) {
            LoadBuffer();
        }
    }
    TBufferField& b = buffer_.at(static_cast<size_t>(field));
    if (b.Blob) {
        const std::vector<uint8_t>& bytes = b.Blob->Value();
        b.Value.assign(bytes.begin(), bytes.end());
    }
    return b.Value;
}

void TStoreTable::SetFieldValue(int32_t field, std::string value) {
    RequireOpen();
    const TStoreFieldDef& def = FieldDefs()[field];
    if (IsStringFieldType(def.FieldType)) {
        // A text longer than the column is cut to it, never inside a character.
        value.resize(Utf8Truncate(value, static_cast<size_t>(def.Size)).size());
    }
    if (state_ == TDataSetState::dsSetKey) {
        keyBuffer_.at(static_cast<size_t>(field)) = std::move(value);
        return;
    }
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
        throw EDatabaseError("Dataset not in edit or insert mode");
    }
    TBufferField& b = buffer_.at(static_cast<size_t>(field));
    if (def.IsBlob()) {
        if (!b.Blob) {
            b.Blob = std::make_unique<TOptimBlobStream>();
        }
        b.Blob->Truncate();
        b.Blob->Write(value.data(), static_cast<int64_t>(value.size()));
        b.Blob->SetPosition(0);
    } else {
        b.Value = std::move(value);
    }
    modified_ = true;
}

// ---- keys -----------------------------------------------------------------------------

void TStoreTable::SetKey() {
    RequireOpen();
    CheckBrowseMode();
    stateBeforeKey_ = state_;
    state_ = TDataSetState::dsSetKey;
    keyBuffer_.assign(static_cast<size_t>(FieldCount()), std::nullopt);
}

int32_t TStoreTable::KeyIndex(const std::string& indexName) const {
    const int32_t index = indexes_->IndexOf(indexName);
    if (index < 0) {
        throw EDatabaseError("Invalid index name '" + indexName + "'");
    }
    return index;
}

bool TStoreTable::GotoKey(const std::string& indexName) {
    RequireOpen();
    const int32_t index = KeyIndex(indexName);
    CheckBrowseMode();
    return GotoKeyAt(index);
}

bool TStoreTable::GotoKeyAt(int32_t index) {
    Scrolling();
    // The key is the leading key fields that were given values.
    const TStoreIndexDef& def = indexes_->Def(index);
    TKeyValues key;
    for (int32_t f : def.FieldNumbers) {
        const auto& v = keyBuffer_.at(static_cast<size_t>(f));
        if (!v) {
            break;
        }
        key.push_back(*v);
    }
    const auto n = static_cast<int32_t>(key.size());
    const TSearchResult r = indexes_->FindKey(index, key, n, false);
    if (r.Outcome != TSearchOutcome::Equal) {
        return false;
    }
    const int32_t recNo = indexes_->Order(index)[static_cast<size_t>(r.Position)].RecNo;
    const int32_t p = order_ == index ? r.Position : indexes_->PositionOf(order_, recNo);
    if (p < 0) {
        return false;
    }
    ScrollTo(p);
    return true;
}

bool TStoreTable::FindKey(const std::string& indexName, const std::vector<std::string>& values) {
    RequireOpen();
    const int32_t index = KeyIndex(indexName);
    SetKey();
    try {
        const TStoreIndexDef& def = indexes_->Def(index);
        for (size_t k = 0; k < values.size() && k < def.FieldNumbers.size(); ++k) {
            Fields(def.FieldNumbers[k]).SetAsString(values[k]);
        }
    } catch (...) {
        state_ = stateBeforeKey_;
        throw;
    }
    state_ = stateBeforeKey_;
    return GotoKeyAt(index);
}

void TStoreTable::Refresh() {
    RequireOpen();
    CheckBrowseMode();
    Sync();
    bufferValid_ = false;
}

}  // namespace quorv::store
