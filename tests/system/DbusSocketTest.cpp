// The bus connection of netsh's NetworkManager backend against a small fake bus daemon, whose
// messages GIO writes and reads.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "system/DbusSocket.h"
#include "system/NmBus.h"

namespace quorv::inventory {
namespace {

namespace fs = std::filesystem;

// One client at a time: answers the authentication with `greeting`, then hands every message
// to `serve`, which answers through `send`.
class FakeBus {
  public:
    using Send = std::function<void(GDBusMessage*)>;
    using Serve = std::function<bool(GDBusMessage*, const Send&)>;  // false: hang up

    FakeBus(std::string greeting, Serve serve)
        : greeting_(std::move(greeting)), serve_(std::move(serve)) {
        dir_ = fs::temp_directory_path() / ("quorv-fakebus-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        // A '%2d' in the address stands for the '-' of the name.
        path_ = (dir_ / "bus-socket").string();
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un sa{};
        sa.sun_family = AF_UNIX;
        std::strncpy(sa.sun_path, path_.c_str(), sizeof sa.sun_path - 1);
        unlink(path_.c_str());
        if (bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
            listen(listener_, 1) != 0) {
            throw std::runtime_error("the fake bus could not listen");
        }
        std::string escaped =
            path_.substr(0, path_.rfind('-')) + "%2d" + path_.substr(path_.rfind('-') + 1);
        setenv("DBUS_SYSTEM_BUS_ADDRESS",
               ("tcp:host=localhost,port=1;unix:path=" + escaped).c_str(), 1);
        thread_ = std::thread([this] { Run(); });
    }
    ~FakeBus() {
        shutdown(listener_, SHUT_RDWR);
        close(listener_);
        thread_.join();
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        fs::remove_all(dir_);
    }

    std::string authLine;  // what the client said before its first message

  private:
    void Run() {
        int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0) {
            return;
        }
        std::string in;
        char buffer[4096];
        auto fill = [&](std::size_t n) {
            while (in.size() < n) {
                ssize_t got = recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    return false;
                }
                in.append(buffer, std::size_t(got));
            }
            return true;
        };
        std::size_t end;
        while ((end = in.find("BEGIN\r\n")) == std::string::npos) {
            if (!fill(in.size() + 1)) {
                close(fd);
                return;
            }
        }
        authLine = in.substr(0, end);
        in.erase(0, end + 7);
        send(fd, greeting_.data(), greeting_.size(), MSG_NOSIGNAL);
        guint32 serial = 100;
        Send reply = [&](GDBusMessage* m) {
            g_dbus_message_set_serial(m, ++serial);
            gsize size = 0;
            guchar* blob = g_dbus_message_to_blob(m, &size, G_DBUS_CAPABILITY_FLAGS_NONE, nullptr);
            send(fd, blob, size, MSG_NOSIGNAL);
            g_free(blob);
            g_object_unref(m);
        };
        while (fill(16)) {
            gssize needed =
                g_dbus_message_bytes_needed(reinterpret_cast<guchar*>(in.data()), 16, nullptr);
            if (needed < 16 || !fill(std::size_t(needed))) {
                break;
            }
            GDBusMessage* m =
                g_dbus_message_new_from_blob(reinterpret_cast<guchar*>(in.data()), gsize(needed),
                                             G_DBUS_CAPABILITY_FLAGS_NONE, nullptr);
            in.erase(0, std::size_t(needed));
            bool more = serve_(m, reply);
            g_object_unref(m);
            if (!more) {
                break;
            }
        }
        close(fd);
    }

    std::string greeting_;
    Serve serve_;
    fs::path dir_;
    std::string path_;
    int listener_ = -1;
    std::thread thread_;
};

const char* kOk = "OK 0123456789abcdef0123456789abcdef\r\n";

GDBusMessage* Signal(const char* interface, const char* member) {
    return g_dbus_message_new_signal("/org/freedesktop/NetworkManager", interface, member);
}

TEST(DbusSocket, RepliesFindTheirCallsAndOnlyPropertyChangesWake) {
    std::vector<GDBusMessage*> held;
    FakeBus bus(kOk, [&](GDBusMessage* m, const FakeBus::Send& send) {
        const char* member = g_dbus_message_get_member(m);
        if (g_strcmp0(member, "Hello") == 0) {
            GDBusMessage* r = g_dbus_message_new_method_reply(m);
            g_dbus_message_set_body(r, g_variant_new("(s)", ":1.7"));
            send(r);
            send(Signal("org.freedesktop.DBus", "NameAcquired"));
            return true;
        }
        // Calls are answered in reverse order, the second with a signal in front.
        held.push_back(G_DBUS_MESSAGE(g_object_ref(m)));
        if (held.size() == 2) {
            send(Signal("org.freedesktop.DBus.Properties", "PropertiesChanged"));
            for (int i = 1; i >= 0; --i) {
                GDBusMessage* r = g_dbus_message_new_method_reply(held[i]);
                bool interactive = g_dbus_message_get_flags(held[i]) &
                                   G_DBUS_MESSAGE_FLAGS_ALLOW_INTERACTIVE_AUTHORIZATION;
                g_dbus_message_set_body(
                    r, g_variant_new("(sb)", g_dbus_message_get_member(held[i]), interactive));
                send(r);
                g_object_unref(held[i]);
            }
        }
        return true;
    });
    auto socket = DbusSocket::Open();
    ASSERT_TRUE(socket);
    guint32 first = socket->Send("org.example", "/a", "org.example.I", "First", nullptr);
    guint32 second =
        socket->Send("org.example", "/a", "org.example.I", "Second", g_variant_new("(s)", "x"));
    auto name = [](const Message& m) {
        const char* text = nullptr;
        gboolean interactive = FALSE;
        g_variant_get(m->body.get(), "(&sb)", &text, &interactive);
        return std::string(text) + (interactive ? "+interactive" : "");
    };
    Message a = socket->Reply(first, 2000);
    ASSERT_TRUE(a);
    EXPECT_EQ(name(a), "First+interactive");
    Message b = socket->Reply(second, 2000);
    ASSERT_TRUE(b);
    EXPECT_EQ(name(b), "Second+interactive");
    // The uid goes as hex digits of its decimal text.
    std::string uid = std::to_string(geteuid());
    std::string hex;
    for (char c : uid) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", (unsigned char)c);
        hex += two;
    }
    EXPECT_EQ(bus.authLine, std::string(1, '\0') + "AUTH EXTERNAL " + hex + "\r\n");
    EXPECT_TRUE(socket->WaitForSignal(2000));
    EXPECT_FALSE(socket->WaitForSignal(30));  // NameAcquired does not count
}

TEST(DbusSocket, RefusalsHangUpsAndSilenceEndTheWait) {
    {
        FakeBus bus("REJECTED EXTERNAL\r\n",
                    [](GDBusMessage*, const FakeBus::Send&) { return false; });
        auto socket = DbusSocket::Open();
        ASSERT_TRUE(socket);
        guint32 call = socket->Send("org.example", "/a", "org.example.I", "M", nullptr);
        EXPECT_THROW(socket->Reply(call, 2000), std::runtime_error);
    }
    {
        FakeBus bus(kOk, [](GDBusMessage* m, const FakeBus::Send&) {
            return g_strcmp0(g_dbus_message_get_member(m), "Hello") == 0;  // hang up after it
        });
        auto socket = DbusSocket::Open();
        ASSERT_TRUE(socket);
        guint32 call = socket->Send("org.example", "/a", "org.example.I", "M", nullptr);
        EXPECT_THROW(socket->Reply(call, 2000), std::runtime_error);
    }
    {
        FakeBus bus(kOk, [](GDBusMessage*, const FakeBus::Send&) { return true; });
        auto socket = DbusSocket::Open();
        ASSERT_TRUE(socket);
        guint32 call = socket->Send("org.example", "/a", "org.example.I", "M", nullptr);
        EXPECT_FALSE(socket->Reply(call, 50));
    }
}

TEST(NmBus, ErrorsAndUnexpectedRepliesBecomeNmErrors) {
    FakeBus bus(kOk, [](GDBusMessage* m, const FakeBus::Send& send) {
        const char* member = g_dbus_message_get_member(m);
        if (g_strcmp0(member, "Denied") == 0) {
            send(g_dbus_message_new_method_error_literal(
                m, "org.freedesktop.NetworkManager.PermissionDenied", "Not authorized"));
        } else if (g_strcmp0(member, "Broken") == 0) {
            send(g_dbus_message_new_method_error_literal(
                m, "org.freedesktop.NetworkManager.Device.NotActive", "No active connection"));
        } else {
            GDBusMessage* r = g_dbus_message_new_method_reply(m);
            g_dbus_message_set_body(r, g_variant_new("(u)", 7u));
            send(r);
        }
        return true;
    });
    auto nm = NmBus::Connect();
    ASSERT_TRUE(nm);
    try {
        nm->Call("/x", "org.example.I", "Denied", nullptr, nullptr);
        ADD_FAILURE() << "no error";
    } catch (const NmError& e) {
        EXPECT_TRUE(e.PermissionDenied());
        EXPECT_STREQ(e.what(), "Not authorized");
    }
    try {
        nm->Start("/x", "org.example.I", "Broken", nullptr, nullptr)->Wait();
        ADD_FAILURE() << "no error";
    } catch (const NmError& e) {
        EXPECT_FALSE(e.PermissionDenied());
        EXPECT_STREQ(e.what(), "No active connection");
    }
    EXPECT_THROW(nm->Call("/x", "org.example.I", "Other", nullptr, "(s)"), NmError);
    Variant ok = nm->Call("/x", "org.example.I", "Other", nullptr, "(u)");
    guint32 value = 0;
    g_variant_get(ok.get(), "(u)", &value);
    EXPECT_EQ(value, 7u);
}

}  // namespace
}  // namespace quorv::inventory
