#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

namespace quorv::app {

// Tells when another program (qic, quorv-store, a second window) changed the data file, so
// the list can follow it without a restart. Bursts of writes come as one signal, and a
// file replaced by a rename is followed under its name.
class TDataFileWatcher : public QObject {
    Q_OBJECT
  public:
    TDataFileWatcher(const QString& path, QObject* parent = nullptr);

  signals:
    void Changed();

  private:
    void Touched();

    QString path_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
};

}  // namespace quorv::app
