#include "system/DbusSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace quorv::inventory {
namespace {

constexpr const char* kDefaultAddress = "unix:path=/var/run/dbus/system_bus_socket";

int Hex(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Bus addresses escape bytes as %XX.
std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && Hex(text[i + 1]) >= 0 &&
            Hex(text[i + 2]) >= 0) {
            out += char(Hex(text[i + 1]) * 16 + Hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The first unix socket of an address list ("unix:path=...;unix:abstract=...").
int ConnectTo(const std::string& addresses) {
    std::size_t start = 0;
    while (start <= addresses.size()) {
        std::size_t end = addresses.find(';', start);
        std::string one = addresses.substr(start, end - start);
        start = end == std::string::npos ? addresses.size() + 1 : end + 1;
        if (one.rfind("unix:", 0) != 0) {
            continue;
        }
        std::string path;
        bool abstract = false;
        std::size_t k = 5;
        while (k < one.size()) {
            std::size_t comma = one.find(',', k);
            std::string pair = one.substr(k, comma - k);
            k = comma == std::string::npos ? one.size() : comma + 1;
            if (pair.rfind("path=", 0) == 0) {
                path = Unescape(pair.substr(5));
            } else if (pair.rfind("abstract=", 0) == 0) {
                path = Unescape(pair.substr(9));
                abstract = true;
            }
        }
        sockaddr_un sa{};
        sa.sun_family = AF_UNIX;
        std::size_t offset = abstract ? 1 : 0;
        if (path.empty() || path.size() + offset >= sizeof sa.sun_path) {
            continue;
        }
        std::memcpy(sa.sun_path + offset, path.data(), path.size());
        socklen_t length =
            socklen_t(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            continue;
        }
        if (connect(fd, reinterpret_cast<sockaddr*>(&sa), length) == 0) {
            return fd;
        }
        close(fd);
    }
    return -1;
}

gint64 Remaining(gint64 deadlineUs) {
    gint64 left = deadlineUs - g_get_monotonic_time();
    return left < 0 ? 0 : left;
}

}  // namespace

std::unique_ptr<DbusSocket> DbusSocket::Open() {
    const char* env = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    int fd = ConnectTo(env && *env ? env : kDefaultAddress);
    if (fd < 0) {
        return nullptr;
    }
    std::unique_ptr<DbusSocket> bus(new DbusSocket(fd));
    // The daemon takes our credentials from the socket; the uid only has to match them.
    std::string uid = std::to_string(geteuid());
    std::string hexUid;
    for (char c : uid) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", (unsigned char)c);
        hexUid += two;
    }
    std::string auth = std::string(1, '\0') + "AUTH EXTERNAL " + hexUid + "\r\nBEGIN\r\n";
    try {
        bus->Write(reinterpret_cast<const guchar*>(auth.data()), auth.size());
        // Not waited for: the daemon's answer and Hello's reply come back with the first call's.
        bus->hello_ = bus->Send("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus", "Hello", nullptr);
    } catch (const std::runtime_error&) {
        return nullptr;
    }
    return bus;
}

DbusSocket::~DbusSocket() {
    close(fd_);
}

void DbusSocket::Write(const guchar* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = send(fd_, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw std::runtime_error("the system bus closed the connection");
        }
        data += n;
        size -= std::size_t(n);
    }
}

guint32 DbusSocket::Send(const char* destination, const std::string& path, const char* interface,
                         const char* method, GVariant* params, bool expectReply) {
    DbusMessage message;
    message.type = DbusMessage::kCall;
    message.destination = destination;
    message.path = path;
    message.interface = interface;
    message.member = method;
    if (params) {
        message.body.reset(g_variant_ref_sink(params));
    }
    message.flags = expectReply ? kAllowInteractiveAuthorization : kNoReplyExpected;
    message.serial = ++serial_;
    std::string wire = Marshal(message);
    Write(reinterpret_cast<const guchar*>(wire.data()), wire.size());
    return serial_;
}

bool DbusSocket::Fill(std::size_t wanted, gint64 deadlineUs) {
    char buffer[8192];
    while (in_.size() < wanted) {
        pollfd p{fd_, POLLIN, 0};
        int ready = poll(&p, 1, int((Remaining(deadlineUs) + 999) / 1000));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            return false;
        }
        ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            throw std::runtime_error("the system bus closed the connection");
        }
        in_.append(buffer, std::size_t(n));
    }
    return true;
}

bool DbusSocket::ReadOne(gint64 deadlineUs) {
    while (!accepted_) {
        std::size_t eol = in_.find("\r\n");
        if (eol == std::string::npos) {
            if (!Fill(in_.size() + 1, deadlineUs)) {
                return false;
            }
            continue;
        }
        if (in_.rfind("OK ", 0) != 0) {
            throw std::runtime_error("the system bus did not accept the connection");
        }
        in_.erase(0, eol + 2);
        accepted_ = true;
    }
    if (!Fill(16, deadlineUs)) {
        return false;
    }
    std::size_t needed = MessageSize(in_.data());
    if (needed < 16) {
        throw std::runtime_error("the system bus sent a damaged message");
    }
    if (!Fill(needed, deadlineUs)) {
        return false;
    }
    auto message = std::make_unique<DbusMessage>(Unmarshal(in_.data(), needed));
    in_.erase(0, needed);
    switch (message->type) {
        case DbusMessage::kReturn:
        case DbusMessage::kError:
            if (message->replySerial == hello_ && message->type == DbusMessage::kError) {
                throw std::runtime_error("the system bus did not accept the connection");
            }
            if (message->replySerial != hello_) {
                replies_[message->replySerial] = std::move(message);
            }
            break;
        case DbusMessage::kSignal:
            // The bus greets us with NameAcquired; only our match's signals count.
            if (message->member == "PropertiesChanged") {
                signalled_ = true;
            }
            break;
        default:
            break;  // nobody calls us
    }
    return true;
}

Message DbusSocket::Reply(guint32 serial, int timeoutMs) {
    gint64 deadline = g_get_monotonic_time() + gint64(timeoutMs) * 1000;
    while (true) {
        auto it = replies_.find(serial);
        if (it != replies_.end()) {
            Message reply = std::move(it->second);
            replies_.erase(it);
            return reply;
        }
        if (!ReadOne(deadline)) {
            return nullptr;
        }
    }
}

bool DbusSocket::WaitForSignal(int timeoutMs) {
    gint64 deadline = g_get_monotonic_time() + gint64(timeoutMs) * 1000;
    while (!signalled_ && ReadOne(deadline)) {
    }
    bool seen = signalled_;
    signalled_ = false;
    return seen;
}

}  // namespace quorv::inventory
