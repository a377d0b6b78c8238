#include "gui/main/DataFileWatcher.h"

#include <QFileInfo>

namespace quorv::app {

namespace {

// A writer's record, index and header writes come within a few milliseconds.
constexpr int kSettleMs = 200;

}  // namespace

TDataFileWatcher::TDataFileWatcher(const QString& path, QObject* parent)
    : QObject(parent), path_(path) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &TDataFileWatcher::Changed);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &TDataFileWatcher::Touched);
    // The folder tells of a file put back under the name after a rename or delete.
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!watcher_.files().contains(path_) && QFileInfo::exists(path_)) {
            Touched();
        }
    });
    if (QFileInfo::exists(path_)) {
        watcher_.addPath(path_);
    }
    const QString folder = QFileInfo(path_).absolutePath();
    if (!folder.isEmpty()) {
        watcher_.addPath(folder);
    }
}

void TDataFileWatcher::Touched() {
    if (!watcher_.files().contains(path_) && QFileInfo::exists(path_)) {
        watcher_.addPath(path_);
    }
    settle_.start();
}

}  // namespace quorv::app
