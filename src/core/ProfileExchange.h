#pragma once

#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "core/Profile.h"

namespace quorv::store {
class TStoreTable;
}

namespace quorv::settings {

// An exchange file that cannot be read or written; what() names the file and the reason.
class EExchangeError : public Exception {
  public:
    using Exception::Exception;
};

// A section of an exchange file holds a value the profiles may not hold.
class ERefusedImport : public EExchangeError {
  public:
    using EExchangeError::EExchangeError;
};

// Writes every profile of the cursor, in the order the cursor walks the table, to a new
// exchange file at `path` (sections "Record_1", "Record_2", ..., ten keys each) and returns
// how many it wrote. An empty table writes no file. The file is written whole and
// atomically: a failure throws EExchangeError and leaves an existing file as it was.
// `splitScripts`, when given, receives the names of profiles whose script has a line that
// holds a comma: the Script key joins lines with commas, so such a line comes back from
// an import as two, and the user is told at export.
int ExportProfiles(store::TStoreTable& profiles, const QString& path,
                   std::vector<std::string>* splitScripts = nullptr);

// Reads an exchange file for import: every section one profile, in file order, each column
// as the file gives it, the name already cut to its column width. Throws EExchangeError for
// a file that is missing, unreadable, too large, not text, or has keys outside a section,
// and for any section whose values qic add would refuse (addresses, masks, gateway, DNS
// servers, interface name, script size), naming the section and the reason; then nothing
// of the file is imported.
std::vector<apply::Profile> ReadExchangeFile(const QString& path);

// The names among `incoming` that an import would ask about: names of existing profiles,
// and names an earlier section of the same file brings in.
std::vector<std::string> ConflictingNames(store::TStoreTable& profiles,
                                          const std::vector<apply::Profile>& incoming);

enum class TImportOutcome { Added, Replaced, Kept };

// Answers the question about one conflicting name: true overwrites the existing profile.
using TConflictAnswer = std::function<bool(const std::string& name)>;
// Told after each section, once it is posted or skipped.
using TImportProgress = std::function<void(const std::string& name, TImportOutcome outcome)>;

// Imports the profiles one by one: a new name is inserted; for an existing one `answer` is
// asked, and on true every column of the found profile is overwritten. Each look-up and its
// write are one step under the data file's write lock; `answer` runs without it held, and
// the name is looked up again after it. Stops at the first failure, with the cursor's
// pending insert or edit cancelled, and rethrows it; profiles posted before stay.
void ImportProfiles(store::TStoreTable& profiles, const std::vector<apply::Profile>& incoming,
                    const TConflictAnswer& answer, const TImportProgress& progress = {});

// The same with every conflict answered alike, nobody asked.
void ImportProfilesWithoutAsking(store::TStoreTable& profiles,
                                 const std::vector<apply::Profile>& incoming, bool replaceExisting,
                                 const TImportProgress& progress = {});

}  // namespace quorv::settings
