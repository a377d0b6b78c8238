#include "platform/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
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

#include "platform/CommandLine.h"
#include "platform/ExitStatus.h"
#include "platform/ProgramFolder.h"
#include "platform/ProgramLookup.h"
#include "platform/Terminal.h"

extern char** environ;

namespace quorv::platform {

namespace {

// How long one wait lasts before windows get a chance to repaint.
constexpr int kPaintSliceMs = 15;

struct Resolved {
    std::vector<std::string> args;  // args[0] is the file to start
    std::string error;
};

Resolved Resolve(const std::string& commandLine, const LaunchOptions& options) {
    Resolved r;
    r.args = SplitCommandLine(commandLine);
    if (r.args.empty() || r.args[0].empty()) {
        r.error = "empty command line";
        return r;
    }
    const std::string folder =
        options.programFolder.empty() ? ProgramFolder() : options.programFolder;
    std::string path = FindProgram(r.args[0], folder);
    if (path.empty()) {
        r.error = "program not found: " + r.args[0];
        return r;
    }
    r.args[0] = path;
    return r;
}

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
    Resolved resolved = Resolve(commandLine, options);
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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), 2);
    // No handle of ours (the data file above all) leaks into the child.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    std::vector<std::string> args = resolved.args;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, out.program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    outWrite.Close();
    errWrite.Close();
    if (rc != 0) {
        out.startError = std::strerror(rc);
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
    Resolved resolved = Resolve(commandLine, options);
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
