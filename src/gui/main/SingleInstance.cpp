#include "gui/main/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

namespace quorv::app {

namespace {

constexpr int kWaitMs = 1000;
const QByteArray kRaise = "raise\n";

// A folder only this user can reach: the runtime folder, or one of ours in the temporary
// folder, checked to be a real folder of ours with no access for others.
QString PrivateFolder() {
    auto ours = [](const QString& path) {
        struct stat st {};
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
               st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
    };
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && ours(runtime)) {
        return runtime;
    }
    const QString folder =
        QDir::tempPath() + QStringLiteral("/quorv-ip-changer-%1").arg(::geteuid());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return ours(folder) ? folder : QString();
}

// Holds an advisory lock on a file while two starts race for the name.
class NameLock {
  public:
    explicit NameLock(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_EX);
        }
    }
    ~NameLock() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    NameLock(const NameLock&) = delete;
    NameLock& operator=(const NameLock&) = delete;

  private:
    int fd_;
};

}  // namespace

TSingleInstance::TSingleInstance(const std::string& dataFile, QObject* parent) : QObject(parent) {
    const QString folder = PrivateFolder();
    if (folder.isEmpty()) {
        return;
    }
    QFileInfo file(QString::fromStdString(dataFile));
    const QString canonical = file.exists() ? file.canonicalFilePath() : file.absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    name_ = folder + QStringLiteral("/quorv-window-") + QString::fromLatin1(hash);
    connect(&server_, &QLocalServer::newConnection, this, &TSingleInstance::Answer);
}

TSingleInstance::~TSingleInstance() {
    server_.close();
}

bool TSingleInstance::HandOver() {
    if (name_.isEmpty()) {
        return false;
    }
    NameLock lock(name_ + QStringLiteral(".lock"));
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (socket.waitForConnected(kWaitMs)) {
        socket.write(kRaise);
        socket.waitForBytesWritten(kWaitMs);
        socket.disconnectFromServer();
        return true;
    }
    // Nobody answers: a socket file left by a window that was killed.
    QLocalServer::removeServer(name_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(name_);
    return false;
}

void TSingleInstance::Answer() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->readAll().startsWith(kRaise.trimmed())) {
                return;
            }
            if (window_) {
                if (window_->isMinimized()) {
                    window_->showNormal();
                }
                window_->show();
                window_->raise();
                window_->activateWindow();
            }
            emit Asked();
        });
    }
}

}  // namespace quorv::app
