#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/StoreFileIO.h"
#include "store/TableSchema.h"

namespace quorv::store {

class TStoreSession;
class TStoreTable;
class TStoreTableIO;
class TStoreIndexes;

// One database file in use: its connection, the password that grants access, and one
// storage object per table. Cursors (TStoreTable) bind to it while they are open.
class TStoreDatabase {
  public:
    using TEvent = std::function<void(TStoreDatabase&)>;
    using TProgressEvent = std::function<void(TStoreDatabase& sender, int percent)>;
    // Starts or stops the owner's periodic timer (interval in ms) that calls AutoFlushTick.
    using TAutoFlushTimer = std::function<void(bool enabled, int32_t intervalMs)>;

    // Joins `session`, or the default session.
    explicit TStoreDatabase(TStoreSession* session = nullptr);
    ~TStoreDatabase();
    TStoreDatabase(const TStoreDatabase&) = delete;
    TStoreDatabase& operator=(const TStoreDatabase&) = delete;

    // These change only while disconnected.
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& name);
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& name);
    TStoreMediumType MediumType() const { return medium_; }
    void SetMediumType(TStoreMediumType medium);
    bool Exclusive() const { return exclusive_; }
    void SetExclusive(bool exclusive);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    const std::string& SessionName() const { return sessionName_; }
    void SetSessionName(const std::string& name);

    bool KeepConnection() const { return keepConnection_; }
    void SetKeepConnection(bool keep) { keepConnection_ = keep; }
    bool Temporary() const { return temporary_; }
    TStoreSession& Session() const;

    bool Connected() const { return file_ != nullptr; }
    void SetConnected(bool connected);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    TEvent BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;
    TProgressEvent OnCompressProgress, OnUncompressProgress, OnEncryptProgress, OnDecryptProgress;

    // Periodic flushing needs the owner's event loop: the database asks the hook to run a
    // timer and the timer calls AutoFlushTick.
    bool AutoFlush() const { return autoFlush_; }
    void SetAutoFlush(bool on);
    int32_t AutoFlushInterval() const { return autoFlushInterval_; }
    void SetAutoFlushInterval(int32_t ms);
    void SetAutoFlushTimer(TAutoFlushTimer timer);
    // Flushes when connected and written since the last flush; true when it flushed.
    bool AutoFlushTick();

    // Writes a new, empty database file (no connection needed); false on failure.
    bool CreateDatabase(const std::string& fileName, bool compress, uint8_t compressLevel,
                        const std::string& compressAlgo, bool encrypt,
                        const std::string& encryptAlgo, const std::string& password,
                        bool writeVerify);

    // Remembers the password; when connected, checks it at once.
    void SetPassword(const std::string& password);
    bool AccessGranted() const { return accessGranted_; }
    // Connects if needed, then tries the session's passwords, the supplied one and the
    // prompt: "Access denied" when none opens the file.
    void CheckAccess();
    // "Cannot modify a read-only database".
    void CheckReadOnly() const;
    // Whether records may be written (not read-only in any way).
    bool CanModify() const;

    bool CreateTable(const std::string& tableName, const std::vector<TFieldDesc>& fields);
    bool CreateIndex(const std::string& tableName, const std::string& indexName, uint8_t options,
                     const std::vector<std::string>& fieldNames);
    std::vector<std::string> TableNames() const;

    // For cursors and tools.
    TStoreFileIO& FileIO() const;
    TStoreTableIO* FindTableIO(std::string_view tableName) const;
    TStoreIndexes& IndexesOf(const TStoreTableIO& table) const;
    int32_t OpenCursors() const { return openCursors_; }
    void CursorOpened() { ++openCursors_; }
    // Frees a temporary database or disconnects a permanent one once no cursor is left,
    // unless the connection is to be kept. Answers false when the object was freed.
    bool CursorClosed();

  private:
    friend class TStoreSession;
    friend class TStoreTable;
    struct TTableEntry;

    void Connect();
    void Disconnect();
    void RequireDisconnected() const;
    // Leaves the current session for `session`.
    void JoinSession(TStoreSession& session);
    void BuildTables();
    void UpdateAutoFlushTimer();
    void Bind(TStoreTable* table);
    void Unbind(TStoreTable* table);

    TStoreSession* session_ = nullptr;
    std::string databaseName_;
    std::string fileName_;
    std::string sessionName_;
    TStoreMediumType medium_ = mtDisk;
    bool exclusive_ = false;
    bool readOnly_ = false;
    bool keepConnection_ = false;
    bool temporary_ = false;
    bool autoFlush_ = false;
    int32_t autoFlushInterval_ = 60000;
    TAutoFlushTimer autoFlushTimer_;

    std::unique_ptr<TStoreFileIO> file_;
    bool accessGranted_ = false;
    std::string password_;
    bool passwordSupplied_ = false;
    int32_t openCursors_ = 0;
    std::vector<std::unique_ptr<TTableEntry>> tables_;
    std::vector<TStoreTable*> datasets_;
};

}  // namespace quorv::store
