#include "store/StoreSession.h"

#include <algorithm>
#include <mutex>

#include "store/NameCompare.h"
#include "store/StoreDatabase.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {

namespace {

std::recursive_mutex& ListMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

std::vector<TStoreSession*>& AllSessions() {
    static std::vector<TStoreSession*> sessions;
    return sessions;
}

TPasswordPrompt& Prompt() {
    static TPasswordPrompt prompt;
    return prompt;
}

}  // namespace

// ---- TStoreSessionList ----------------------------------------------------------------

void TStoreSessionList::Add(TStoreSession* session) {
    std::lock_guard lock(ListMutex());
    AllSessions().push_back(session);
}

void TStoreSessionList::Remove(TStoreSession* session) {
    std::lock_guard lock(ListMutex());
    auto& all = AllSessions();
    all.erase(std::remove(all.begin(), all.end(), session), all.end());
}

TStoreSession* TStoreSessionList::Lookup(std::string_view name) {
    if (name.empty()) {
        return &TStoreSession::Default();
    }
    std::lock_guard lock(ListMutex());
    for (TStoreSession* s : AllSessions()) {
        if (SameName(s->SessionName(), name)) {
            return s;
        }
    }
    return nullptr;
}

TStoreSession& TStoreSessionList::FindSession(std::string_view name) {
    TStoreSession* s = Lookup(name);
    if (!s) {
        throw EDatabaseError("Invalid session name " + std::string(name));
    }
    return *s;
}

std::vector<std::string> TStoreSessionList::SessionNames() {
    TStoreSession::Default();
    std::lock_guard lock(ListMutex());
    std::vector<std::string> names;
    for (TStoreSession* s : AllSessions()) {
        names.push_back(s->SessionName());
    }
    return names;
}

// ---- TStoreSession --------------------------------------------------------------------

TStoreSession::TStoreSession(std::string sessionName) {
    if (!sessionName.empty() && TStoreSessionList::Lookup(sessionName)) {
        throw EDatabaseError("Duplicate session name '" + sessionName + "'");
    }
    name_ = std::move(sessionName);
    TStoreSessionList::Add(this);
}

TStoreSession::~TStoreSession() {
    SetActive(false);
    for (TStoreDatabase* db : std::vector<TStoreDatabase*>(databases_)) {
        db->session_ = nullptr;
    }
    TStoreSessionList::Remove(this);
}

TStoreSession& TStoreSession::Default() {
    // Never destroyed: databases and cursors living in static objects may outlast it.
    static TStoreSession* session = new TStoreSession("Default");
    return *session;
}

void TStoreSession::SetSessionName(const std::string& name) {
    if (active_) {
        throw EDatabaseError("Cannot perform this operation on an active session");
    }
    TStoreSession* other = TStoreSessionList::Lookup(name);
    if (!name.empty() && other && other != this) {
        throw EDatabaseError("Duplicate session name '" + name + "'");
    }
    name_ = name;
}

void TStoreSession::SetActive(bool active) {
    if (active == active_) {
        return;
    }
    if (active) {
        if (name_.empty()) {
            throw EDatabaseError("Session name missing");
        }
        active_ = true;
        if (this != &Default()) {
            Default().SetActive(true);
        }
        if (OnStartup) {
            OnStartup(*this);
        }
        return;
    }
    active_ = false;
    temporaries_.clear();
    for (TStoreDatabase* db : std::vector<TStoreDatabase*>(databases_)) {
        db->SetConnected(false);
    }
}

void TStoreSession::SetLockRetryCount(int32_t count) {
    lockRetryCount_ = std::max(count, 0);
    for (TStoreDatabase* db : databases_) {
        if (db->Connected()) {
            db->FileIO().SetLockRetryCount(lockRetryCount_);
        }
    }
}

void TStoreSession::SetLockWaitTime(int32_t ms) {
    lockWaitTime_ = std::max(ms, 0);
    for (TStoreDatabase* db : databases_) {
        if (db->Connected()) {
            db->FileIO().SetLockWaitTime(lockWaitTime_);
        }
    }
}

void TStoreSession::AddPassword(const std::string& password) {
    if (std::find(passwords_.begin(), passwords_.end(), password) == passwords_.end()) {
        passwords_.push_back(password);
    }
}

void TStoreSession::RemovePassword(const std::string& password) {
    passwords_.erase(std::remove(passwords_.begin(), passwords_.end(), password), passwords_.end());
}

void TStoreSession::SetPasswordPrompt(TPasswordPrompt prompt) {
    Prompt() = std::move(prompt);
}

const TPasswordPrompt& TStoreSession::PasswordPrompt() {
    return Prompt();
}

TStoreDatabase* TStoreSession::FindDatabase(std::string_view name) const {
    for (TStoreDatabase* db : databases_) {
        if (SameName(db->DatabaseName(), name)) {
            return db;
        }
    }
    return nullptr;
}

TStoreDatabase& TStoreSession::OpenDatabase(const std::string& name, TStoreMediumType medium) {
    SetActive(true);
    TStoreDatabase* db = FindDatabase(name);
    if (!db) {
        auto temporary = std::make_unique<TStoreDatabase>(this);
        temporary->temporary_ = true;
        temporary->databaseName_ = name;
        temporary->medium_ = medium;
        temporary->keepConnection_ = keepConnections_;
        db = temporary.get();
        temporaries_.push_back(std::move(temporary));
    }
    try {
        db->Open();
    } catch (...) {
        if (db->Temporary() && db->OpenCursors() == 0) {
            FreeTemporary(db);
        }
        throw;
    }
    return *db;
}

void TStoreSession::Attach(TStoreDatabase* db) {
    if (std::find(databases_.begin(), databases_.end(), db) == databases_.end()) {
        databases_.push_back(db);
    }
}

void TStoreSession::Detach(TStoreDatabase* db) {
    databases_.erase(std::remove(databases_.begin(), databases_.end(), db), databases_.end());
}

void TStoreSession::FreeTemporary(TStoreDatabase* db) {
    const auto it = std::find_if(temporaries_.begin(), temporaries_.end(),
                                 [&](const auto& p) { return p.get() == db; });
    if (it != temporaries_.end()) {
        // Moved out first: the database's destructor detaches itself from this list.
        std::unique_ptr<TStoreDatabase> doomed = std::move(*it);
        temporaries_.erase(it);
        doomed.reset();
    }
}

}  // namespace quorv::store
