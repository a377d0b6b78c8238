#pragma once

#include <ostream>
#include <string>

#include "cli/Invocation.h"
#include "core/DataFile.h"
#include "core/Profile.h"
#include "store/StoreTable.h"

namespace quorv::cli {

// The data file as one qic command holds it: both tables open until the command ends.
class QicData {
  public:
    // Opens the file --data names, else the default one, creating it on first use as the
    // window does; a profile table that cannot be opened is an error. `opened`, when
    // given, names the file to open instead (a root apply's judged descriptor); messages
    // still name the file.
    explicit QicData(const Invocation& inv, const std::string& opened = {});

    // The file --data names, else the default one.
    static std::string PathOf(const Invocation& inv);

    const std::string& Path() const { return path_; }
    store::TStoreTable& Profiles() { return profiles_; }
    // The option table; an error only for the commands that need it.
    store::TStoreTable& Options();

    // The profile of that name, the cursor left on it; a UsageError when there is none.
    apply::Profile Find(const std::string& name);

    // Profiles the file counts but could not give are missing from what list and show
    // print; a warning on err keeps one from vanishing unnoticed.
    void WarnDamaged(std::ostream& err) const;

  private:
    std::string path_;
    store::TStoreTable profiles_;
    store::TStoreTable options_;
    app::DataFileStatus status_;
};

}  // namespace quorv::cli
