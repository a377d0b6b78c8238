#include "store/StoreDatabase.h"

#include <algorithm>

#include "store/NameCompare.h"
#include "store/StoreIndexes.h"
#include "store/StoreSession.h"
#include "store/StoreTable.h"
#include "store/StoreTableIO.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {

struct TStoreDatabase::TTableEntry {
    // Declared in this order so the index layer goes before the storage it hooks into.
    std::unique_ptr<TStoreTableIO> IO;
    std::unique_ptr<TStoreIndexes> Indexes;
};

TStoreDatabase::TStoreDatabase(TStoreSession* session)
    : session_(session ? session : &TStoreSession::Default()) {
    if (session_ != &TStoreSession::Default()) {
        sessionName_ = session_->SessionName();
    }
    session_->Attach(this);
}

TStoreDatabase::~TStoreDatabase() {
    try {
        Disconnect();
    } catch (...) {
        // A destructor cannot report; the file is closed regardless.
        file_.reset();
    }
    if (session_) {
        session_->Detach(this);
    }
}

TStoreSession& TStoreDatabase::Session() const {
    return session_ ? *session_ : TStoreSession::Default();
}

void TStoreDatabase::RequireDisconnected() const {
    if (Connected()) {
        throw EDatabaseError("Cannot perform this operation on an open database");
    }
}

void TStoreDatabase::SetDatabaseName(const std::string& name) {
    RequireDisconnected();
    if (TStoreDatabase* other = Session().FindDatabase(name); other && other != this) {
        if (other->Temporary() && other->OpenCursors() == 0) {
            Session().FreeTemporary(other);
        } else {
            throw EDatabaseError("Duplicate database name '" + name + "'");
        }
    }
    databaseName_ = name;
}

void TStoreDatabase::SetFileName(const std::string& name) {
    RequireDisconnected();
    fileName_ = name;
}

void TStoreDatabase::SetMediumType(TStoreMediumType medium) {
    RequireDisconnected();
    medium_ = medium;
}

void TStoreDatabase::SetExclusive(bool exclusive) {
    RequireDisconnected();
    exclusive_ = exclusive;
}

void TStoreDatabase::SetReadOnly(bool readOnly) {
    RequireDisconnected();
    readOnly_ = readOnly;
}

void TStoreDatabase::SetSessionName(const std::string& name) {
    RequireDisconnected();
    sessionName_ = name;
    // Joins that session now when it exists; an unknown name fails at connection time.
    if (TStoreSession* s = TStoreSessionList::Lookup(name)) {
        JoinSession(*s);
    }
}

void TStoreDatabase::JoinSession(TStoreSession& session) {
    if (&session == session_) {
        return;
    }
    if (session_) {
        session_->Detach(this);
    }
    session_ = &session;
    session_->Attach(this);
}

void TStoreDatabase::SetConnected(bool connected) {
    if (connected) {
        Connect();
    } else {
        Disconnect();
    }
}

void TStoreDatabase::Connect() {
    if (Connected()) {
        return;
    }
    if (BeforeConnect) {
        BeforeConnect(*this);
    }
    if (databaseName_.empty() && !temporary_) {
        throw EDatabaseError("Database name missing");
    }
    TStoreSession& session = TStoreSessionList::FindSession(sessionName_);
    JoinSession(session);
    session.SetActive(true);

    auto file = std::make_unique<TStoreFileIO>();
    file->SetLockRetryCount(session.LockRetryCount());
    file->SetLockWaitTime(session.LockWaitTime());
    file->Open(fileName_.empty() ? databaseName_ : fileName_, medium_, 0, readOnly_, exclusive_);
    file_ = std::move(file);
    accessGranted_ = !file_->ExtHeader().Encrypt;
    if (!accessGranted_ && passwordSupplied_) {
        accessGranted_ = file_->CheckPassword(password_);
    }
    TProcessProgressEvents events;
    auto forward = [this](const TProgressEvent& event) {
        return [this, &event](int percent) {
            if (event) {
                event(*this, percent);
            }
        };
    };
    events.OnCompressProgress = forward(OnCompressProgress);
    events.OnUncompressProgress = forward(OnUncompressProgress);
    events.OnEncryptProgress = forward(OnEncryptProgress);
    events.OnDecryptProgress = forward(OnDecryptProgress);
    file_->Processing().SetProgressEvents(std::move(events));
    try {
        BuildTables();
    } catch (...) {
        tables_.clear();
        file_.reset();
        accessGranted_ = false;
        throw;
    }
    UpdateAutoFlushTimer();
    if (AfterConnect) {
        AfterConnect(*this);
    }
}

void TStoreDatabase::Disconnect() {
    if (!Connected()) {
        return;
    }
    if (BeforeDisconnect) {
        BeforeDisconnect(*this);
    }
    for (TStoreTable* table : std::vector<TStoreTable*>(datasets_)) {
        table->DatabaseClosing();
    }
    datasets_.clear();
    tables_.clear();
    file_->Close();
    file_.reset();
    openCursors_ = 0;
    accessGranted_ = false;
    password_.clear();
    passwordSupplied_ = false;
    UpdateAutoFlushTimer();
    if (AfterDisconnect) {
        AfterDisconnect(*this);
    }
}

void TStoreDatabase::BuildTables() {
    // Only tables not yet known get a storage object: open cursors keep theirs.
    for (const std::string& name : file_->TableNames()) {
        if (FindTableIO(name)) {
            continue;
        }
        auto entry = std::make_unique<TTableEntry>();
        entry->IO = std::make_unique<TStoreTableIO>(*file_, name);
        entry->Indexes = std::make_unique<TStoreIndexes>(*entry->IO);
        tables_.push_back(std::move(entry));
    }
}

TStoreFileIO& TStoreDatabase::FileIO() const {
    if (!file_) {
        throw EDatabaseError("Cannot perform this operation on a closed database");
    }
    return *file_;
}

TStoreTableIO* TStoreDatabase::FindTableIO(std::string_view tableName) const {
    for (const auto& entry : tables_) {
        if (SameName(entry->IO->TableName(), tableName)) {
            return entry->IO.get();
        }
    }
    return nullptr;
}

TStoreIndexes& TStoreDatabase::IndexesOf(const TStoreTableIO& table) const {
    for (const auto& entry : tables_) {
        if (entry->IO.get() == &table) {
            return *entry->Indexes;
        }
    }
    throw EDatabaseError("Table '" + table.TableName() + "' not found");
}

std::vector<std::string> TStoreDatabase::TableNames() const {
    std::vector<std::string> names;
    for (const auto& entry : tables_) {
        names.push_back(entry->IO->TableName());
    }
    return names;
}

bool TStoreDatabase::CreateDatabase(const std::string& fileName, bool compress,
                                    uint8_t compressLevel, const std::string& compressAlgo,
                                    bool encrypt, const std::string& encryptAlgo,
                                    const std::string& password, bool writeVerify) {
    return TStoreFileIO::CreateDatabaseFile(fileName, medium_, compress, compressLevel,
                                            compressAlgo, encrypt, encryptAlgo, password,
                                            writeVerify);
}

void TStoreDatabase::SetPassword(const std::string& password) {
    password_ = password;
    passwordSupplied_ = true;
    if (Connected()) {
        accessGranted_ = file_->CheckPassword(password);
    }
}

void TStoreDatabase::CheckAccess() {
    Open();
    if (accessGranted_) {
        return;
    }
    for (const std::string& password : Session().Passwords()) {
        if (file_->CheckPassword(password)) {
            SetPassword(password);
            return;
        }
    }
    if (passwordSupplied_) {
        accessGranted_ = file_->CheckPassword(password_);
    } else if (const TPasswordPrompt& prompt = TStoreSession::PasswordPrompt()) {
        std::string typed;
        if (!prompt(databaseName_, typed)) {
            throw EAbort();
        }
        SetPassword(typed);
    }
    if (!accessGranted_) {
        throw EDatabaseError("Access denied");
    }
}

void TStoreDatabase::CheckReadOnly() const {
    if (readOnly_ || (file_ && file_->ReadOnlyAttribute())) {
        throw EDatabaseError("Cannot modify a read-only database");
    }
}

bool TStoreDatabase::CanModify() const {
    return file_ && !readOnly_ && file_->CanWrite();
}

bool TStoreDatabase::CreateTable(const std::string& tableName,
                                 const std::vector<TFieldDesc>& fields) {
    CheckAccess();
    CheckReadOnly();
    if (!file_->CreateTable(tableName, fields)) {
        return false;
    }
    BuildTables();
    return true;
}

bool TStoreDatabase::CreateIndex(const std::string& tableName, const std::string& indexName,
                                 uint8_t options, const std::vector<std::string>& fieldNames) {
    CheckAccess();
    CheckReadOnly();
    if (!store::CreateIndex(*file_, tableName, indexName, options, fieldNames)) {
        return false;
    }
    // A table already in use takes its new header (and the new index) at once.
    if (TStoreTableIO* io = FindTableIO(tableName); io && io->Loaded()) {
        io->Reload();
    }
    return true;
}

bool TStoreDatabase::CursorClosed() {
    if (openCursors_ > 0) {
        --openCursors_;
    }
    if (openCursors_ == 0 && !keepConnection_) {
        if (temporary_) {
            Session().FreeTemporary(this);
            return false;
        }
        Disconnect();
    }
    return true;
}

void TStoreDatabase::Bind(TStoreTable* table) {
    if (std::find(datasets_.begin(), datasets_.end(), table) == datasets_.end()) {
        datasets_.push_back(table);
    }
}

void TStoreDatabase::Unbind(TStoreTable* table) {
    datasets_.erase(std::remove(datasets_.begin(), datasets_.end(), table), datasets_.end());
}

void TStoreDatabase::SetAutoFlush(bool on) {
    autoFlush_ = on;
    UpdateAutoFlushTimer();
}

void TStoreDatabase::SetAutoFlushInterval(int32_t ms) {
    autoFlushInterval_ = std::max(ms, 1);
    UpdateAutoFlushTimer();
}

void TStoreDatabase::SetAutoFlushTimer(TAutoFlushTimer timer) {
    autoFlushTimer_ = std::move(timer);
    UpdateAutoFlushTimer();
}

void TStoreDatabase::UpdateAutoFlushTimer() {
    if (autoFlushTimer_) {
        autoFlushTimer_(autoFlush_ && Connected(), autoFlushInterval_);
    }
}

bool TStoreDatabase::AutoFlushTick() {
    if (!Connected() || !file_->NeedsFlush()) {
        return false;
    }
    file_->Flush();
    return true;
}

}  // namespace quorv::store
