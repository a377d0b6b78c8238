// The NetworkManager client against a fake NetworkManager on a private dbus-daemon, whose
// address stands in for the system bus's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "system/NmBus.h"
#include "system/NmDevices.h"

namespace quorv::inventory {
namespace {

constexpr const char* kDevice = "/org/freedesktop/NetworkManager/Devices/1";
constexpr const char* kDaemon = "/usr/bin/dbus-daemon";

sd_bus* Open(const std::string& address) {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0 || sd_bus_set_address(bus, address.c_str()) < 0 ||
        sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
        ADD_FAILURE() << "no connection to " << address;
    }
    return bus;
}

// Answers as NetworkManager would, in a thread of its own, plus a few calls that misbehave.
class FakeNm {
  public:
    explicit FakeNm(const std::string& address) : bus_(Open(address)) {
        EXPECT_GE(sd_bus_request_name(bus_, NM_DBUS_SERVICE, 0), 0);
        sd_bus_add_fallback(bus_, nullptr, NM_DBUS_PATH, &FakeNm::Handle, this);
        thread_ = std::thread([this] {
            while (!stop_) {
                if (sd_bus_process(bus_, nullptr) == 0) {
                    sd_bus_wait(bus_, 20000);
                }
            }
        });
    }
    ~FakeNm() { Stop(); }

    // NetworkManager exits: its name goes with its connection.
    void Stop() {
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
            // Given up before the connection goes, so that the bus has no owner at once.
            sd_bus_release_name(bus_, NM_DBUS_SERVICE);
            sd_bus_flush_close_unref(bus_);
        }
    }

    // The unique name of the last caller, and whether it let the user be asked.
    std::string Caller() {
        std::lock_guard<std::mutex> lock(mutex_);
        return caller_;
    }
    bool Interactive() {
        std::lock_guard<std::mutex> lock(mutex_);
        return interactive_;
    }

  private:
    static int Handle(sd_bus_message* m, void* self, sd_bus_error*) {
        auto* fake = static_cast<FakeNm*>(self);
        {
            std::lock_guard<std::mutex> lock(fake->mutex_);
            fake->caller_ = sd_bus_message_get_sender(m);
            fake->interactive_ = sd_bus_message_get_allow_interactive_authorization(m) > 0;
        }
        std::string member = sd_bus_message_get_member(m);
        if (member == "GetDeviceByIpIface") {
            const char* name = nullptr;
            sd_bus_message_read(m, "s", &name);
            return std::strcmp(name, "lan0") == 0
                       ? sd_bus_reply_method_return(m, "o", kDevice)
                       : sd_bus_reply_method_errorf(m,
                                                    "org.freedesktop.NetworkManager.UnknownDevice",
                                                    "No device found for the requested iface.");
        }
        if (member == "GetAll") {
            return sd_bus_reply_method_return(m, "a{sv}", 4, "Interface", "s", "lan0", "Managed",
                                              "b", 1, "StateReason", "(uu)", 100, 0, "AddressData",
                                              "aa{sv}", 1, 2, "address", "s", "10.0.0.5", "prefix",
                                              "u", 24);
        }
        if (member == "Echo") {
            sd_bus_message* reply = nullptr;
            sd_bus_message_new_method_return(m, &reply);
            sd_bus_message_copy(reply, m, 1);
            int r = sd_bus_send(nullptr, reply, nullptr);
            sd_bus_message_unref(reply);
            return r;
        }
        if (member == "Announce" || member == "AnnounceBadly") {
            if (member == "Announce") {
                sd_bus_emit_signal(fake->bus_, kDevice, "org.freedesktop.DBus.Properties",
                                   "PropertiesChanged", "sa{sv}as", NM_DBUS_INTERFACE_DEVICE, 0, 0);
            } else {
                sd_bus_emit_signal(fake->bus_, kDevice, "org.freedesktop.DBus.Properties",
                                   "PropertiesChanged", "i", 7);
            }
            return sd_bus_reply_method_return(m, "");
        }
        if (member == "WrongType") {
            return sd_bus_reply_method_return(m, "i", 5);
        }
        if (member == "Refuse") {
            return sd_bus_reply_method_errorf(m, "org.freedesktop.NetworkManager.PermissionDenied",
                                              "Not authorized to control networking.");
        }
        return 1;  // never answered
    }

    sd_bus* bus_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
    std::mutex mutex_;
    std::string caller_;
    bool interactive_ = false;
};

// A bus of its own, peer to peer, that answers as the bus and NetworkManager would, except
// that the first device asked for gets bytes no bus would send.
class DamagingBus {
  public:
    DamagingBus() {
        char dir[] = "/tmp/quorv-busXXXXXX";
        EXPECT_TRUE(mkdtemp(dir));
        dir_ = dir;
        sockaddr_un sa{};
        sa.sun_family = AF_UNIX;
        std::snprintf(sa.sun_path, sizeof sa.sun_path, "%s/bus", dir);
        listen_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(bind(listen_, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        EXPECT_EQ(listen(listen_, 4), 0);
        thread_ = std::thread([this] { Serve(); });
    }
    ~DamagingBus() {
        stop_ = true;
        thread_.join();
        close(listen_);
        unlink((dir_ + "/bus").c_str());
        rmdir(dir_.c_str());
    }
    std::string Address() const { return "unix:path=" + dir_ + "/bus"; }

  private:
    void Serve() {
        std::vector<sd_bus*> peers;
        while (!stop_) {
            std::vector<pollfd> fds{{listen_, POLLIN, 0}};
            for (sd_bus* peer : peers) {
                fds.push_back({sd_bus_get_fd(peer), short(sd_bus_get_events(peer)), 0});
            }
            poll(fds.data(), fds.size(), 10);
            if (fds[0].revents & POLLIN) {
                int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                sd_bus* peer = nullptr;
                sd_id128_t id;
                sd_id128_randomize(&id);
                sd_bus_new(&peer);
                sd_bus_set_fd(peer, fd, fd);
                sd_bus_set_server(peer, 1, id);
                sd_bus_add_filter(peer, nullptr, &DamagingBus::Answer, this);
                sd_bus_start(peer);
                peers.push_back(peer);
            }
            for (sd_bus* peer : peers) {
                while (sd_bus_process(peer, nullptr) > 0) {
                }
            }
        }
        for (sd_bus* peer : peers) {
            sd_bus_close_unref(peer);
        }
    }

    static int Answer(sd_bus_message* m, void* self, sd_bus_error*) {
        auto* bus = static_cast<DamagingBus*>(self);
        std::string member = sd_bus_message_get_member(m) ? sd_bus_message_get_member(m) : "";
        if (member == "GetDeviceByIpIface" && !bus->damaged_) {
            bus->damaged_ = true;
            const char garbage[] = "X\x01\x00\x01garbage, not a message header";
            return write(sd_bus_get_fd(sd_bus_message_get_bus(m)), garbage, sizeof garbage) > 0;
        }
        sd_bus_message* reply = nullptr;
        sd_bus_message_new_method_return(m, &reply);
        if (member == "Hello") {
            sd_bus_message_set_sender(reply, "org.freedesktop.DBus");
            sd_bus_message_append(reply, "s", ":1.7");
        } else if (member == "NameHasOwner") {
            sd_bus_message_set_sender(reply, "org.freedesktop.DBus");
            sd_bus_message_append(reply, "b", 1);
        } else {
            sd_bus_message_set_sender(reply, ":1.8");
            sd_bus_message_append(reply, "o", kDevice);
        }
        sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return 1;
    }

    std::string dir_;
    int listen_ = -1;
    std::atomic<bool> stop_ = false;
    bool damaged_ = false;
    std::thread thread_;
};

// One private bus per test program, as the system bus of this process.
class NmBusTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (access(kDaemon, X_OK) != 0) {
            return;
        }
        int out[2];
        ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
        daemon_ = fork();
        if (daemon_ == 0) {
            dup2(out[1], 1);
            int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, 2);
            execl(kDaemon, kDaemon, "--session", "--nofork", "--nopidfile", "--print-address=1",
                  nullptr);
            _exit(127);
        }
        close(out[1]);
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n') {
            address_ += c;
        }
        close(out[0]);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
    }
    static void TearDownTestSuite() {
        if (daemon_ > 0) {
            kill(daemon_, SIGTERM);
            waitpid(daemon_, nullptr, 0);
        }
    }
    void SetUp() override {
        if (address_.empty()) {
            GTEST_SKIP() << "dbus-daemon is not installed";
        }
        bus_ = NmBus::Connect();
        ASSERT_TRUE(bus_);
    }

    // How long a wait for a change took, in milliseconds.
    long long TimedWait(int timeoutMs) {
        auto start = std::chrono::steady_clock::now();
        bus_->WaitForChange(timeoutMs);
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    }

    static inline pid_t daemon_ = 0;
    static inline std::string address_;
    std::unique_ptr<NmBus> bus_;
};

TEST(NmBusWithoutBus, NoBusIsNoNetworkManager) {
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/quorv/bus", 1);
    EXPECT_FALSE(NmBus::Connect());
    EXPECT_TRUE(ReadNmDevices().empty());
}

// sd-bus gives a connection up at bytes it cannot read; that is no word on NetworkManager.
TEST(NmBusWithoutBus, ADamagedMessageIsNotAnAbsentNetworkManager) {
    DamagingBus fake;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", fake.Address().c_str(), 1);
    auto bus = NmBus::Connect();
    ASSERT_TRUE(bus);
    EXPECT_EQ(bus->DeviceByInterface("lan0"), "");  // the damaged answer
    EXPECT_TRUE(bus->Running());
    EXPECT_EQ(bus->DeviceByInterface("lan0"), kDevice);
}

// The bus's own answer is the one word for "not running".
TEST_F(NmBusTest, AbsentOrStoppedServiceIsNotRunning) {
    EXPECT_FALSE(bus_->Running());
    EXPECT_THROW(bus_->DeviceByInterface("lan0"), NmError);
    EXPECT_TRUE(ReadNmDevices().empty());

    FakeNm nm(address_);
    EXPECT_TRUE(bus_->Running());
    EXPECT_EQ(bus_->DeviceByInterface("lan0"), kDevice);
    nm.Stop();
    EXPECT_FALSE(bus_->Running());
}

TEST_F(NmBusTest, CallsCarryValuesBothWays) {
    FakeNm nm(address_);
    EXPECT_EQ(bus_->DeviceByInterface("lan0"), kDevice);
    EXPECT_TRUE(nm.Interactive());
    // An unknown device is no device, not an absent NetworkManager.
    EXPECT_EQ(bus_->DeviceByInterface("lan9"), "");

    DbusValue device = bus_->Properties(kDevice, NM_DBUS_INTERFACE_DEVICE);
    EXPECT_EQ(StringOf(device, "Interface"), "lan0");
    EXPECT_TRUE(BoolOf(device, "Managed"));
    EXPECT_EQ(AddressesOf(device, "AddressData", true), std::vector<std::string>{"10.0.0.5/24"});
    EXPECT_TRUE(device.Find("StateReason").Is("(uu)"));
    EXPECT_EQ(UintOf(device, "Interface", 7), 7u);  // of another type
    EXPECT_EQ(StringOf(device, "Missing", "none"), "none");

    // Settings hold types netsh never reads; they must come back as they went.
    auto bytes = DbusValue::Array("y", {});
    DbusValue settings = DbusValue::Dict(
        "a{sv}",
        {{"connection", DbusValue::Dict("v", {{"id", DbusValue::String("Office ü")},
                                              {"autoconnect", DbusValue::Bool(false)},
                                              {"autoconnect-priority", DbusValue::Int32(-5)},
                                              {"timestamp", DbusValue::Uint64(1ull << 40)},
                                              {"mac", bytes}})},
         {"ipv4", DbusValue::Dict("v", {{"route-metric", DbusValue::Int64(-1)},
                                        {"addresses", DbusValue::Array("au", {})},
                                        {"pair", DbusValue::Struct({DbusValue::Uint32(1),
                                                                    DbusValue::ObjectPath("/")})},
                                        {"address-data", DbusValue::Array("a{sv}", {})}})}});
    DbusArgs echoed = bus_->Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "Echo",
                                 {settings, DbusValue::Uint32(3)}, "(a{sa{sv}}u)");
    ASSERT_EQ(echoed.size(), 2u);
    EXPECT_EQ(echoed[0], settings);
    EXPECT_EQ(echoed[1].Bits(), 3u);
    EXPECT_EQ(echoed[0].Find("connection").Find("autoconnect-priority").AsInt64(), -5);
}

TEST_F(NmBusTest, RefusalsTimeoutsAndWrongRepliesLeaveTheConnectionUsable) {
    FakeNm nm(address_);
    try {
        bus_->Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "Refuse", {}, nullptr);
        ADD_FAILURE() << "no refusal";
    } catch (const NmError& e) {
        EXPECT_TRUE(e.PermissionDenied());
        EXPECT_STREQ(e.what(), "Not authorized to control networking.");
    }
    try {
        bus_->Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "WrongType", {}, "(o)");
        ADD_FAILURE() << "wrong type taken";
    } catch (const NmError& e) {
        EXPECT_FALSE(e.PermissionDenied());
        EXPECT_STREQ(e.what(), "Method returned type '(i)', but expected '(o)'");
    }
    try {
        bus_->Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "Silent", {}, nullptr, 200);
        ADD_FAILURE() << "no timeout";
    } catch (const NmError& e) {
        EXPECT_STREQ(e.what(), "Timeout was reached");
    }
    EXPECT_TRUE(bus_->Running());
    EXPECT_EQ(bus_->DeviceByInterface("lan0"), kDevice);
}

// Anyone may send a signal named like NetworkManager's, or call us: neither counts, and neither
// breaks the connection.
TEST_F(NmBusTest, OnlyNetworkManagersSignalsWakeTheWait) {
    FakeNm nm(address_);
    bus_->WatchChanges();
    ASSERT_EQ(bus_->DeviceByInterface("lan0"), kDevice);
    std::string us = nm.Caller();

    sd_bus* other = Open(address_);
    sd_bus_message* m = nullptr;
    sd_bus_message_new_signal(other, &m, kDevice, "org.freedesktop.DBus.Properties",
                              "PropertiesChanged");
    sd_bus_message_set_destination(m, us.c_str());
    sd_bus_message_append(m, "sa{sv}as", NM_DBUS_INTERFACE_DEVICE, 0, 0);
    ASSERT_GE(sd_bus_send(other, m, nullptr), 0);
    sd_bus_message_unref(m);
    sd_bus_message_new_method_call(other, &m, us.c_str(), NM_DBUS_PATH, NM_DBUS_INTERFACE,
                                   "GetDevices");
    sd_bus_message_set_expect_reply(m, 0);
    ASSERT_GE(sd_bus_send(other, m, nullptr), 0);
    sd_bus_message_unref(m);
    sd_bus_flush(other);
    EXPECT_GE(TimedWait(300), 290);

    // NetworkManager's own, but not the shape of a change.
    bus_->Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "AnnounceBadly", {}, "()");
    EXPECT_GE(TimedWait(300), 290);

    bus_->Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "Announce", {}, "()");
    EXPECT_LT(TimedWait(5000), 1000);
    EXPECT_TRUE(bus_->Running());
    EXPECT_EQ(bus_->DeviceByInterface("lan0"), kDevice);
    sd_bus_flush_close_unref(other);
}

}  // namespace
}  // namespace quorv::inventory
