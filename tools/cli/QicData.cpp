#include "cli/QicData.h"

#include "cli/Output.h"
#include "core/ProfileRecord.h"

namespace quorv::cli {

QicData::QicData(const Invocation& inv, const std::string& opened) : path_(PathOf(inv)) {
    status_ = app::OpenDataFile(opened.empty() ? path_ : opened, profiles_, options_);
    if (!status_.profileError.empty()) {
        throw Exception("cannot open the profiles in " + Quoted(path_) + ": " +
                        status_.profileError);
    }
}

std::string QicData::PathOf(const Invocation& inv) {
    return inv.dataFile ? *inv.dataFile : app::DefaultDataFilePath();
}

store::TStoreTable& QicData::Options() {
    if (!status_.optionError.empty()) {
        throw Exception("cannot open the options: " + status_.optionError);
    }
    return options_;
}

apply::Profile QicData::Find(const std::string& name) {
    if (!app::FindProfile(profiles_, name)) {
        throw UsageError("no profile is named " + Quoted(name));
    }
    return app::ReadProfile(profiles_);
}

void QicData::WarnDamaged(std::ostream& err) const {
    const int n = status_.damagedProfiles;
    if (n <= 0) {
        return;
    }
    err << "qic: warning: " << n << (n == 1 ? " profile" : " profiles") << " in " << Quoted(path_)
        << (n == 1 ? " could not be read and is" : " could not be read and are")
        << " left out; check the file with: quorv-store check " << Quoted(path_) << " --password "
        << app::kDataFilePassword << '\n';
}

}  // namespace quorv::cli
