#include "gui/main/LiveStateMonitor.h"

#include <QMetaObject>
#include <QSocketNotifier>

#include "system/LiveStateWatch.h"

namespace quorv::app {

namespace {

// Notices come in bursts (an address, its routes, the resolver); one read after the last.
constexpr int kSettleMs = 150;
// Nobody tells of a new default printer.
constexpr int kPrinterPollMs = 5000;

}  // namespace

TLiveStateMonitor::TLiveStateMonitor(QObject* parent, bool watch) : QObject(parent) {
    setObjectName("LiveStateMonitor");
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &TLiveStateMonitor::Refresh);
    watchWanted_ = watch;
}

void TLiveStateMonitor::Start() {
    if (!watchWanted_ || watch_) {
        return;
    }
    watch_ = std::make_unique<inventory::LiveStateWatch>();
    WatchDescriptors();
    printerPoll_.setInterval(kPrinterPollMs);
    connect(&printerPoll_, &QTimer::timeout, this, &TLiveStateMonitor::Refresh);
    printerPoll_.start();
    Refresh();
}

TLiveStateMonitor::~TLiveStateMonitor() {
    if (reader_.joinable()) {
        reader_.join();
    }
}

void TLiveStateMonitor::WatchDescriptors() {
    std::vector<int> current;
    for (QSocketNotifier* notifier : notifiers_) {
        current.push_back(static_cast<int>(notifier->socket()));
    }
    const std::vector<int> wanted = watch_->Fds();
    if (current == wanted) {
        return;
    }
    // Called from a notifier's own signal: it goes once that has returned.
    for (QSocketNotifier* notifier : notifiers_) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    notifiers_.clear();
    for (int fd : wanted) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &TLiveStateMonitor::Notice);
        notifiers_.push_back(notifier);
    }
}

void TLiveStateMonitor::Notice() {
    if (watch_ && watch_->Drain()) {
        settle_.start();
    }
    // NetworkManager's connection is made anew, or given up, when its bus fails.
    if (watch_) {
        WatchDescriptors();
    }
}

void TLiveStateMonitor::Refresh() {
    if (!watch_) {
        return;
    }
    if (reading_) {
        again_ = true;
        return;
    }
    if (reader_.joinable()) {
        reader_.join();
    }
    reading_ = true;
    reader_ = std::thread([this] {
        try {
            read_ = inventory::ReadLiveState();
            readFailed_ = false;
        } catch (const std::exception&) {
            readFailed_ = true;
        }
        QMetaObject::invokeMethod(this, &TLiveStateMonitor::Finished, Qt::QueuedConnection);
    });
}

void TLiveStateMonitor::Finished() {
    reader_.join();
    reading_ = false;
    if (!readFailed_) {
        SetState(read_);
    }
    if (again_) {
        again_ = false;
        Refresh();
    }
}

void TLiveStateMonitor::SetState(const inventory::LiveState& state) {
    if (hasState_ && state == state_) {
        return;
    }
    state_ = state;
    hasState_ = true;
    emit Changed();
}

}  // namespace quorv::app
