#pragma once

#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <string>

namespace quorv::app {

// One window per user and data file: a second start brings the running window to the front
// and ends, instead of a second window writing the same file. The socket lives in the
// user's runtime folder (or a private folder of the user's in the temporary folder), which
// no other user can reach; where neither can be had, every start gets its window.
class TSingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit TSingleInstance(const std::string& dataFile, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // True when a window on the same data file runs already and was asked to come to the
    // front; this start then ends. Otherwise this start takes the name for later ones.
    bool HandOver();
    // The window later starts bring to the front.
    void Serve(QWidget* window) { window_ = window; }

    // The socket's name; empty where no private folder could be had.
    QString Name() const { return name_; }

  signals:
    // A later start asked for the window.
    void Asked();

  private:
    void Answer();

    QString name_;
    QLocalServer server_;
    QPointer<QWidget> window_;
};

}  // namespace quorv::app
