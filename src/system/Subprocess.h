#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Every child process of the programs is started, read and reaped here. Qt-free, since
// netsh links it and must start without loading Qt; a window's repaints come in through
// WhileWaiting.
namespace quorv::platform {

// Where one of a child's output streams goes.
enum class Sink {
    Discard,     // /dev/null
    Capture,     // a pipe this process reads
    JoinStdout,  // stderr only: stdout's pipe, so the two keep their order
    Inherit,     // this process's own stream (a benchmark's terminal)
};

struct SpawnRequest {
    std::vector<std::string> args;  // args[0] is the program's path: no lookup, no shell
    Sink output = Sink::Discard;
    Sink errors = Sink::Discard;
    size_t keepBytes = 64 * 1024;  // of each captured stream; the rest is read and dropped
    // The child's standard input, whole; empty: /dev/null. Held in memory, so the child may
    // read it at its own pace without a pipe that could stall us.
    std::string input = {};
    // A child that outlives its starter leaves our session, so a terminal's hang-up or
    // Ctrl+C meant for us does not reach it.
    bool ownSession = false;
};

// One child: stdin from /dev/null or the given input, no descriptor of ours but the requested
// streams (the data file above all), default signal handling. A child still running when its object
// goes is left running and reaped whenever it ends, so no zombie stays behind.
class Subprocess {
  public:
    using Clock = std::chrono::steady_clock;

    explicit Subprocess(const SpawnRequest& request);
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    bool Started() const { return pid_ > 0; }
    // Why it could not be started (the system's words); empty when it was.
    const std::string& StartError() const { return startError_; }
    pid_t Pid() const { return pid_; }

    // Reads output while waiting until the child has ended (true), `until` has passed or
    // `enough` (asked whenever something happened) says so. The output is taken as it
    // comes, so a large one never stalls on a full pipe.
    bool WaitUntil(Clock::time_point until, const std::function<bool()>& enough = {});
    // Waits without bound; the exit code, as ExitCode() gives it.
    int Wait();

    // Takes what the pipes hold now without waiting for more: a background process the
    // child left behind may keep them open long after the child itself has ended.
    void TakeAvailable();

    // Ends the child with SIGKILL and reaps it.
    void Kill();

    bool Ended() const { return ended_; }
    // The exit code, 128 + n when signal n ended it, -1 while it runs or when unknown.
    int ExitCode() const { return exitCode_; }
    const std::string& Output() const { return output_.text; }
    const std::string& Errors() const { return errors_.text; }

  private:
    struct Pipe {
        int fd = -1;
        std::string text;
    };

    void Read(Pipe& pipe);
    bool Reap();

    size_t keepBytes_;
    pid_t pid_ = -1;
    int pidFd_ = -1;
    bool ended_ = false;
    int exitCode_ = -1;
    std::string startError_;
    Pipe output_;
    Pipe errors_;
};

// Work that must go on while this thread waits for a child: a window's repaints. While an
// instance lives, every wait on this thread does it at least every few milliseconds.
// Instances nest; the innermost one is done.
class WhileWaiting {
  public:
    explicit WhileWaiting(std::function<void()> work);
    ~WhileWaiting();
    WhileWaiting(const WhileWaiting&) = delete;
    WhileWaiting& operator=(const WhileWaiting&) = delete;

    // The innermost instance's work on this thread, or nullptr.
    static const std::function<void()>* Current();

  private:
    std::function<void()> work_;
    const WhileWaiting* outer_;
};

}  // namespace quorv::platform
