#include "system/DefaultPrinter.h"

#include "system/CupsLibrary.h"

#include <chrono>

namespace quorv::apply {

namespace {

using Clock = std::chrono::steady_clock;

// Reaching the server may take this long; the whole switch, all requests together,
// a little longer. Answers are awaited in short slices so the limit holds.
constexpr int kConnectTimeoutMs = 3000;
constexpr auto kTotalLimit = std::chrono::seconds(3);
constexpr double kWaitSliceSeconds = 0.25;

int KeepWaiting(http_t*, void* deadline) {
    return Clock::now() < *static_cast<Clock::time_point*>(deadline) ? 1 : 0;
}

class Connection {
  public:
    Connection(const CupsCalls& cups, Clock::time_point* deadline)
        : cups_(cups), http_(cups.ConnectToServer(kConnectTimeoutMs)) {
        if (http_ != nullptr) {
            cups_.SetTimeout(http_, kWaitSliceSeconds, KeepWaiting, deadline);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        if (http_ != nullptr) {
            cups_.Close(http_);
        }
    }
    http_t* get() const { return http_; }

  private:
    const CupsCalls& cups_;
    http_t* http_;
};

// One small request first: a server that accepts connections but does not answer is
// found out once, instead of once per request of the dest functions.
bool ServerAnswers(const CupsCalls& cups, http_t* http) {
    ipp_t* response = cups.DoRequest(http, cups.NewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
    // Any IPP answer will do, "no default printer" included; only silence is fatal.
    const bool answered = response != nullptr;
    cups.DeleteMessage(response);
    return answered;
}

}  // namespace

bool SetDefaultPrinter(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    std::string printer = name;
    std::string instance;
    if (size_t slash = name.find('/'); slash != std::string::npos) {
        printer = name.substr(0, slash);
        instance = name.substr(slash + 1);
    }

    const CupsCalls* cups = Cups();
    if (cups == nullptr) {
        return false;
    }
    Clock::time_point deadline = Clock::now() + kTotalLimit;
    Connection connection(*cups, &deadline);
    if (connection.get() == nullptr || !ServerAnswers(*cups, connection.get())) {
        return false;
    }
    cups_dest_t* dests = nullptr;
    int count = cups->GetDests(connection.get(), &dests);
    cups_dest_t* chosen =
        cups->GetDest(printer.c_str(), instance.empty() ? nullptr : instance.c_str(), count, dests);
    bool done = false;
    if (chosen != nullptr) {
        for (int i = 0; i < count; ++i) {
            dests[i].is_default = 0;
        }
        chosen->is_default = 1;
        done = cups->SetDests(connection.get(), count, dests) == 0;
    }
    cups->FreeDests(count, dests);
    return done;
}

std::optional<std::string> ReadDefaultPrinter() {
    const CupsCalls* cups = Cups();
    if (cups == nullptr) {
        return std::nullopt;
    }
    Clock::time_point deadline = Clock::now() + kTotalLimit;
    Connection connection(*cups, &deadline);
    if (connection.get() == nullptr || !ServerAnswers(*cups, connection.get())) {
        return std::nullopt;
    }
    cups_dest_t* dests = nullptr;
    int count = cups->GetDests(connection.get(), &dests);
    std::string name;
    for (int i = 0; i < count; ++i) {
        if (dests[i].is_default && dests[i].name != nullptr) {
            name = dests[i].name;
            if (dests[i].instance != nullptr) {
                name += std::string("/") + dests[i].instance;
            }
            break;
        }
    }
    cups->FreeDests(count, dests);
    return name;
}

}  // namespace quorv::apply
