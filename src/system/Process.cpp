#include "system/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <vector>

#include "system/ExitStatus.h"
#include "system/Spawn.h"
#include "system/Terminal.h"

namespace quorv::platform {

namespace {

// How long one wait lasts before windows get a chance to repaint.
constexpr int kPaintSliceMs = 15;

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    int get() const { return fd_; }
    bool open() const { return fd_ >= 0; }
    void reset(int fd) {
        Close();
        fd_ = fd;
    }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_ = -1;
};

// Reads what is available; closes the descriptor at end of file.
void Drain(Fd& fd, std::string& into) {
    char buf[8192];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n > 0) {
            size_t keep = std::min(static_cast<size_t>(n),
                                   kCaptureLimit - std::min(kCaptureLimit, into.size()));
            into.append(buf, keep);
            continue;
        }
        if (n == 0) {
            fd.Close();
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN) {
            fd.Close();
        }
        return;
    }
}

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

}  // namespace

RunOutput RunAndWaitCaptured(const std::string& commandLine, const LaunchOptions& options) {
    RunOutput out;
    ResolvedCommand resolved = ResolveCommandLine(commandLine, options);
    if (!resolved.error.empty()) {
        out.startError = resolved.error;
        return out;
    }
    out.program = resolved.args[0];

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        out.startError = std::strerror(errno);
        return out;
    }
    Fd outRead(outPipe[0]), outWrite(outPipe[1]);
    if (::pipe2(errPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        out.startError = std::strerror(errno);
        return out;
    }
    Fd errRead(errPipe[0]), errWrite(errPipe[1]);
    // The child's ends must block like ordinary standard streams.
    ::fcntl(outWrite.get(), F_SETFL, 0);
    ::fcntl(errWrite.get(), F_SETFL, 0);

    const pid_t pid = SpawnHidden(resolved.args, outWrite.get(), errWrite.get());
    outWrite.Close();
    errWrite.Close();
    if (pid < 0) {
        out.startError = std::strerror(-pid);
        out.exitCode = -1;
        return out;
    }

    Fd pidFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    const bool pump = OnGuiThread();
    int status = 0;
    bool reaped = false;
    for (;;) {
        pollfd fds[3];
        nfds_t count = 0;
        if (outRead.open()) {
            fds[count++] = {outRead.get(), POLLIN, 0};
        }
        if (errRead.open()) {
            fds[count++] = {errRead.get(), POLLIN, 0};
        }
        if (pidFd.open()) {
            fds[count++] = {pidFd.get(), POLLIN, 0};
        }
        const int timeout = pump ? kPaintSliceMs : (pidFd.open() ? -1 : 50);
        // Interruptions and errors only end this slice; waitpid below decides.
        (void)::poll(fds, count, timeout);
        if (outRead.open()) {
            Drain(outRead, out.standardOutput);
        }
        if (errRead.open()) {
            Drain(errRead, out.standardError);
        }
        if (pump) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            reaped = true;
            break;
        }
        if (done < 0 && errno != EINTR) {
            break;
        }
    }
    // A program that left a background child behind may still hold the pipes; take
    // what is there now instead of waiting for that child to end.
    if (outRead.open()) {
        Drain(outRead, out.standardOutput);
    }
    if (errRead.open()) {
        Drain(errRead, out.standardError);
    }
    out.exitCode = reaped ? ExitCodeOf(status) : -1;
    return out;
}

int RunAndWait(const std::string& commandLine, const LaunchOptions& options) {
    return RunAndWaitCaptured(commandLine, options).exitCode;
}

bool WinExec(const std::string& commandLine, bool shown, const LaunchOptions& options) {
    ResolvedCommand resolved = ResolveCommandLine(commandLine, options);
    if (!resolved.error.empty()) {
        return false;
    }
    std::vector<std::string> argv = resolved.args;
    if (shown && HasDisplay()) {
        if (auto prefix = TerminalPrefix()) {
            argv.insert(argv.begin(), prefix->begin(), prefix->end());
        }
    }
    QStringList arguments;
    for (size_t i = 1; i < argv.size(); ++i) {
        arguments << QString::fromStdString(argv[i]);
    }
    QProcess process;
    process.setProgram(QString::fromStdString(argv[0]));
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

}  // namespace quorv::platform
