#include "core/RootApply.h"

#include "base/Exception.h"
#include "core/DataFile.h"
#include "core/DataFileTrust.h"
#include "core/ProfileRecord.h"
#include "store/StoreTable.h"

namespace quorv::app {

apply::Profile ReadProfileAsRoot(const std::string& dataFile, const std::string& name) {
    const TRootDataFile judged(dataFile);
    store::TStoreTable profiles, options;
    const DataFileStatus status = OpenDataFile(judged.OpenedPath(), profiles, options);
    if (!status.profileError.empty()) {
        throw Exception("cannot open the profiles in \"" + dataFile + "\": " + status.profileError);
    }
    if (!FindProfile(profiles, name)) {
        throw Exception("no profile is named \"" + name + "\" in \"" + dataFile + "\"");
    }
    return ReadProfile(profiles);
}

}  // namespace quorv::app
