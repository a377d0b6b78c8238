#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"
#include "store/StoreFileIO.h"

namespace quorv::store {

class TStoreDatabase;

// Raised when the user cancels a password prompt: the operation ends without a message.
class EAbort : public quorv::Exception {
  public:
    EAbort() : quorv::Exception("Operation aborted") {}
};

// Asks the user for a database's password; false when the user cancels. The GUI installs
// its login dialog here; without one a missing password ends in "Access denied".
using TPasswordPrompt = std::function<bool(const std::string& databaseName, std::string& password)>;

// A set of open databases with their lock settings and the passwords to try. The default
// session ("Default") exists for the whole run; cursors find or create their database in
// the session they name.
class TStoreSession {
  public:
    // An unnamed session must be named before it becomes active.
    explicit TStoreSession(std::string sessionName = {});
    ~TStoreSession();
    TStoreSession(const TStoreSession&) = delete;
    TStoreSession& operator=(const TStoreSession&) = delete;

    static TStoreSession& Default();

    const std::string& SessionName() const { return name_; }
    // Only while inactive; "Duplicate session name '%s'" when another session has it.
    void SetSessionName(const std::string& name);

    bool Active() const { return active_; }
    // Becoming inactive frees the temporary databases and disconnects the others.
    void SetActive(bool active);
    std::function<void(TStoreSession&)> OnStartup;

    bool KeepConnections() const { return keepConnections_; }
    void SetKeepConnections(bool keep) { keepConnections_ = keep; }
    bool SQLHourGlass() const { return sqlHourGlass_; }
    void SetSQLHourGlass(bool on) { sqlHourGlass_ = on; }
    int32_t LockRetryCount() const { return lockRetryCount_; }
    void SetLockRetryCount(int32_t count);
    int32_t LockWaitTime() const { return lockWaitTime_; }
    void SetLockWaitTime(int32_t ms);

    // Passwords every database of the session tries before asking.
    void AddPassword(const std::string& password);
    void RemovePassword(const std::string& password);
    void RemoveAllPasswords() { passwords_.clear(); }
    const std::vector<std::string>& Passwords() const { return passwords_; }

    // Process-wide, because the prompt belongs to the program rather than to a session.
    static void SetPasswordPrompt(TPasswordPrompt prompt);
    static const TPasswordPrompt& PasswordPrompt();

    const std::vector<TStoreDatabase*>& Databases() const { return databases_; }
    // The database of that name (ignoring case), or null.
    TStoreDatabase* FindDatabase(std::string_view name) const;
    // The named database, or a temporary one this session creates and owns, connected.
    TStoreDatabase& OpenDatabase(const std::string& name, TStoreMediumType medium);

  private:
    friend class TStoreDatabase;
    void Attach(TStoreDatabase* db);
    void Detach(TStoreDatabase* db);
    // Frees a temporary database this session owns.
    void FreeTemporary(TStoreDatabase* db);

    std::string name_;
    bool active_ = false;
    bool keepConnections_ = false;
    bool sqlHourGlass_ = true;
    int32_t lockRetryCount_ = 20;
    int32_t lockWaitTime_ = 100;
    std::vector<std::string> passwords_;
    std::vector<TStoreDatabase*> databases_;
    std::vector<std::unique_ptr<TStoreDatabase>> temporaries_;
};

// Every session of the process.
class TStoreSessionList {
  public:
    // Empty names the default session; an unknown name raises "Invalid session name %s".
    static TStoreSession& FindSession(std::string_view name);
    static TStoreSession* Lookup(std::string_view name);
    static std::vector<std::string> SessionNames();

  private:
    friend class TStoreSession;
    static void Add(TStoreSession* session);
    static void Remove(TStoreSession* session);
};

}  // namespace quorv::store
