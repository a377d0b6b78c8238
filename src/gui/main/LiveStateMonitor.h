#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

#include "system/LiveState.h"

class QSocketNotifier;

namespace quorv::inventory {
class LiveStateWatch;
}

namespace quorv::app {

// The adapters' present settings for the window and the tray, read again when the system
// tells of a change (soon after, so a burst of notices is read once) and, for the default
// printer, which tells nobody, every few seconds. Reads run off the GUI thread, since CUPS
// may take seconds to answer.
class TLiveStateMonitor : public QObject {
    Q_OBJECT
  public:
    // watch: false for tests, which hand states in through SetState. Nothing is read or
    // watched before Start.
    explicit TLiveStateMonitor(QObject* parent, bool watch = true);
    ~TLiveStateMonitor() override;

    const inventory::LiveState& State() const { return state_; }
    bool HasState() const { return hasState_; }
    // Takes a state as if it had been read; Changed follows when it differs.
    void SetState(const inventory::LiveState& state);
    // Watches and reads from now on; once is enough.
    void Start();
    // Reads now (off the GUI thread).
    void Refresh();

  signals:
    void Changed();

  private:
    void WatchDescriptors();
    void Notice();
    void Finished();

    std::unique_ptr<inventory::LiveStateWatch> watch_;
    std::vector<QSocketNotifier*> notifiers_;
    QTimer settle_;
    QTimer printerPoll_;
    std::thread reader_;
    std::atomic<bool> reading_{false};
    bool again_ = false;
    inventory::LiveState read_;  // written by the reader, taken on the GUI thread
    bool readFailed_ = false;
    inventory::LiveState state_;
    bool hasState_ = false;
    bool watchWanted_ = false;
};

}  // namespace quorv::app
