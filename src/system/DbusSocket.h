#pragma once

#include <map>
#include <memory>
#include <string>

#include "system/DbusWire.h"

namespace quorv::inventory {

using Message = std::unique_ptr<DbusMessage>;

// A blocking connection to the system bus in the calling thread. GDBusConnection hands every
// message through a worker thread and authenticates in several round trips; a program that
// lives for one command spends more on that than on its calls. Here the authentication and
// Hello go out with the first call.
class DbusSocket {
  public:
    // Nothing when no system bus listens. One that refuses us shows at the first reply.
    static std::unique_ptr<DbusSocket> Open();
    ~DbusSocket();
    DbusSocket(const DbusSocket&) = delete;
    DbusSocket& operator=(const DbusSocket&) = delete;

    // Sends a method call; the serial to wait for. params is consumed.
    guint32 Send(const char* destination, const std::string& path, const char* interface,
                 const char* method, GVariant* params, bool expectReply = true);
    // The reply to serial (a method return or an error), or nothing when timeoutMs passed.
    // Throws std::runtime_error when the bus closed the connection.
    Message Reply(guint32 serial, int timeoutMs);

    // Signals received since the last call; true when at least one matched the filter.
    // Waits at most timeoutMs for one.
    bool WaitForSignal(int timeoutMs);

  private:
    explicit DbusSocket(int fd) : fd_(fd) {}
    // Reads one message (waiting until deadlineMs of the monotonic clock); false on timeout.
    bool ReadOne(gint64 deadlineUs);
    bool Fill(std::size_t wanted, gint64 deadlineUs);
    void Write(const guchar* data, std::size_t size);

    int fd_;
    guint32 serial_ = 0;
    guint32 hello_ = 0;
    bool accepted_ = false;
    std::string in_;
    std::map<guint32, Message> replies_;
    bool signalled_ = false;
};

}  // namespace quorv::inventory
