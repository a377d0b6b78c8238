#pragma once

#include <QString>

#include <functional>
#include <map>
#include <optional>
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

// Writes every profile of the cursor, in the order the cursor walks the table, to a new
// exchange file at `path` (sections "Record_1", "Record_2", ..., ten keys each) and returns
// how many it wrote. An empty table writes no file. The file is written whole and
// atomically: a failure throws EExchangeError and leaves an existing file as it was.
// `splitScripts`, when given, receives the names of profiles whose script has a line that
// holds a comma: the Script key joins lines with commas, so such a line comes back from
// an import as two, and the user is told at export.
int ExportProfiles(store::TStoreTable& profiles, const QString& path,
                   std::vector<std::string>* splitScripts = nullptr);

// A section an import leaves out, and why.
struct SkippedSection {
    std::string Section;
    std::string Name;  // as the file gives it; may be empty
    std::string Reason;
};

// Reads an exchange file for import: every section one profile, in file order, each column
// as the file gives it, the name already cut to its column width. The connection name is
// kept byte for byte even when this machine has no such connection (a Windows name such
// as "Local Area Connection", or none): applying the profile asks for an adapter first.
// A section whose other values qic add would refuse (addresses, masks, gateway, DNS
// servers, script size, control characters, no name) is left out and listed in `skipped`
// with the reason. Throws EExchangeError for a file that is missing, unreadable, too
// large, not text, or has keys outside a section; then nothing of the file is imported.
std::vector<apply::Profile> ReadExchangeFile(const QString& path,
                                             std::vector<SkippedSection>* skipped = nullptr);

// Connection names an import replaces: the file's name -> an adapter of this machine.
using ConnectionMap = std::map<std::string, std::string>;

// Points every profile whose connection `map` names at the mapped adapter.
void MapConnections(std::vector<apply::Profile>& profiles, const ConnectionMap& map);

// The names among `incoming` that an import would ask about: names of existing profiles,
// and names an earlier section of the same file brings in.
std::vector<std::string> ConflictingNames(store::TStoreTable& profiles,
                                          const std::vector<apply::Profile>& incoming);

enum class TImportOutcome { Added, Replaced, Kept };

// Answers the question about one conflicting name: true overwrites the existing profile,
// false keeps it, nothing stops the import before this profile.
using TConflictAnswer = std::function<std::optional<bool>(const std::string& name)>;
// Told of each section once what it wrote is committed.
using TImportProgress = std::function<void(const std::string& name, TImportOutcome outcome)>;

struct TImportSummary {
    int Added = 0;
    int Replaced = 0;
    int Kept = 0;
    bool Stopped = false;                // an answer stopped the import; what came before stays
    std::vector<apply::Profile> Stored;  // added or replaced, as stored
};

// Imports the profiles in order: a new name is inserted; for an existing one `answer` is
// asked, and on true every column of the found profile is overwritten. The writes go in
// turns under the data file's write lock, each turn one batch of the store (one sync, not
// one per profile) that is committed before `answer` runs, before the lock is let go for
// other programs, and at the end; the name is looked up again after every answer. A
// failure abandons the current turn (its profiles are absent, none torn) and is rethrown;
// turns committed before stay.
TImportSummary ImportProfiles(store::TStoreTable& profiles,
                              const std::vector<apply::Profile>& incoming,
                              const TConflictAnswer& answer, const TImportProgress& progress = {});

// The same with every conflict answered alike, nobody asked.
TImportSummary ImportProfilesWithoutAsking(store::TStoreTable& profiles,
                                           const std::vector<apply::Profile>& incoming,
                                           bool replaceExisting,
                                           const TImportProgress& progress = {});

}  // namespace quorv::settings
