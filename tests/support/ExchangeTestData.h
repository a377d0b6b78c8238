#pragma once

#include <string>
#include <vector>

#include "TempFolder.h"
#include "core/DataFile.h"
#include "core/Profile.h"
#include "core/ProfileRecord.h"
#include "store/StoreTable.h"

namespace quorv::testing {

// A real data file in a temporary folder with both tables open, as the main window has it.
class TempDataFile {
  public:
    TempDataFile() {
        const app::DataFileStatus status = app::OpenDataFile(path_, profiles_, options_);
        if (!status.Ok()) {
            throw std::runtime_error(status.profileError + status.optionError);
        }
    }

    store::TStoreTable& Profiles() { return profiles_; }
    store::TStoreTable& Options() { return options_; }
    const TempFolder& Folder() const { return folder_; }

    void Add(const apply::Profile& p) {
        profiles_.Insert();
        app::WriteProfile(profiles_, p);
        profiles_.Post();
    }

    // Every profile in table order, without the store's record number.
    std::vector<apply::Profile> All() {
        std::vector<apply::Profile> all;
        profiles_.Refresh();
        for (profiles_.First(); !profiles_.Eof(); profiles_.Next()) {
            all.push_back(app::ReadProfile(profiles_));
            all.back().Num = 0;
        }
        return all;
    }

  private:
    TempFolder folder_;
    std::string path_ = folder_ / app::kDataFileName;
    store::TStoreTable profiles_, options_;
};

inline apply::Profile MakeProfile(const std::string& name, const std::string& script = {}) {
    apply::Profile p;
    p.Name = name;
    p.SetAddresses({"192.168.0.10", "192.168.0.11"}, {"255.255.255.0", "255.255.255.0"});
    p.Gateway = "192.168.0.1";
    p.DNS1 = "192.168.0.1";
    p.Interface = "eth0";
    p.Script = script;
    return p;
}

}  // namespace quorv::testing
