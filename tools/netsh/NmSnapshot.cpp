#include "netsh/NmCheckpoint.h"
#include "netsh/Snapshot.h"

namespace quorv::netsh {
namespace {

class NmSnapshot : public Snapshot {
  public:
    NmSnapshot(const inventory::NmBus& bus, std::string checkpoint)
        : bus_(&bus), checkpoint_(std::move(checkpoint)) {}

    std::string Restore() override {
        try {
            RollbackCheckpoint(*bus_, checkpoint_);
        } catch (const inventory::NmError& e) {
            throw NetshError(e.what());
        }
        return "address gateway dns";
    }

    void Drop() override {
        try {
            DestroyCheckpoint(*bus_, checkpoint_);
        } catch (const inventory::NmError& e) {
            throw NetshError(e.what());
        }
    }

    void Reopen() override {
        // The parent's connection is left alone: its socket is shared with the parent until
        // that exits, and sd-bus refuses to use it after a fork anyway.
        own_ = inventory::NmBus::Connect();
        if (!own_) {
            throw NetshError("the system bus cannot be reached");
        }
        bus_ = own_.get();
    }

    void Arm(int seconds) override {
        try {
            AdjustCheckpoint(*bus_, checkpoint_, seconds + kGrace);
        } catch (const inventory::NmError&) {
            // The checkpoint's first deadline still comes after ours; the watchdog acts first.
        }
    }

    // NetworkManager rolls back by itself only after the watchdog had its chance.
    static constexpr int kGrace = 2;

  private:
    const inventory::NmBus* bus_;
    std::unique_ptr<inventory::NmBus> own_;
    std::string checkpoint_;
};

}  // namespace

std::unique_ptr<Snapshot> TakeNmSnapshot(const BackendChoice& backend, int rollbackSeconds) {
    std::string checkpoint = CreateCheckpoint(*backend.bus, backend.device, rollbackSeconds);
    return std::make_unique<NmSnapshot>(*backend.bus, std::move(checkpoint));
}

}  // namespace quorv::netsh
