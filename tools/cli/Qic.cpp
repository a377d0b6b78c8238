#include "cli/Qic.h"

#include <unistd.h>

#include <algorithm>
#include <exception>
#include <memory>

#include "cli/Arguments.h"
#include "cli/EditCommands.h"
#include "cli/ExchangeCommands.h"
#include "cli/Output.h"
#include "core/ApplyRun.h"
#include "core/DataFile.h"
#include "core/DataFileTrust.h"
#include "core/OptionRecord.h"
#include "core/ProfileRecord.h"
#include "store/KeyCompare.h"
#include "store/StoreTable.h"
#include "system/ProgramFolder.h"
#ifdef QUORV_QIC_INVENTORY
#include "system/Inventory.h"
#endif

namespace quorv::cli {

namespace {

using apply::Profile;
using store::TStoreTable;

// The two cursors on the data file, open for the whole command.
struct DataFile {
    std::string path;
    TStoreTable profiles;
    TStoreTable options;
    app::DataFileStatus status;

    // `opened` names the file to open when it is not `file` itself (a root apply's judged
    // descriptor); messages name `file`.
    explicit DataFile(const std::string& file, const std::string& opened = {}) : path(file) {
        status = app::OpenDataFile(opened.empty() ? path : opened, profiles, options);
        if (!status.profileError.empty()) {
            throw Exception("cannot open the profiles in " + Quoted(path) + ": " +
                            status.profileError);
        }
    }

    TStoreTable& Options() {
        if (!status.optionError.empty()) {
            throw Exception("cannot open the options: " + status.optionError);
        }
        return options;
    }

    Profile Find(const std::string& name) {
        if (!app::FindProfile(profiles, name)) {
            throw UsageError("no profile is named " + Quoted(name));
        }
        return app::ReadProfile(profiles);
    }
};

// Profiles the file counts but could not give are missing from what list and show
// print; saying so keeps one from vanishing unnoticed.
void WarnDamaged(const DataFile& data, const std::string& path, std::ostream& err) {
    const int n = data.status.damagedProfiles;
    if (n <= 0) {
        return;
    }
    err << "qic: warning: " << n << (n == 1 ? " profile" : " profiles") << " in " << Quoted(path)
        << (n == 1 ? " could not be read and is" : " could not be read and are")
        << " left out; check the file with: quorv-store check " << Quoted(path) << " --password "
        << app::kDataFilePassword << '\n';
}

// The profiles in the list's order: ascending by name, locale-aware and case-sensitive.
std::vector<Profile> ListOrder(TStoreTable& profiles) {
    std::vector<Profile> list;
    profiles.Refresh();
    for (profiles.First(); !profiles.Eof(); profiles.Next()) {
        list.push_back(app::ReadProfile(profiles));
    }
    std::stable_sort(list.begin(), list.end(), [](const Profile& a, const Profile& b) {
        return store::CollateText(a.Name, b.Name, false) < 0;
    });
    return list;
}

int List(DataFile& data, bool json, std::ostream& out) {
    const std::vector<Profile> list = ListOrder(data.profiles);
    if (!json) {
        for (const Profile& p : list) {
            out << ListLine(p) << '\n';
        }
        return kExitOk;
    }
    out << '[';
    for (size_t i = 0; i < list.size(); ++i) {
        out << (i ? ",\n " : "\n ") << ProfileJson(list[i]);
    }
    out << (list.empty() ? "]\n" : "\n]\n");
    return kExitOk;
}

int Add(DataFile& data, const Invocation& inv) {
    const Profile profile = BuildProfile(inv.name, inv.add);
    if (!app::AddProfile(data.profiles, profile)) {
        throw UsageError("a profile named " + Quoted(profile.Name) + " exists already");
    }
    return kExitOk;
}

int Apply(DataFile& data, const Invocation& inv, std::ostream& out, std::ostream& err) {
    const Profile profile = data.Find(inv.name);
    if (inv.dryRun) {
        for (const std::string& line : DryRunLines(profile)) {
            out << line << '\n';
        }
        return kExitOk;
    }
    const bool shown =
        apply::ShowScriptWindow(app::ReadOption(data.Options(), apply::kShowScriptWindow));
    apply::SystemServices services(platform::ProgramFolder());
    apply::ApplyRun run(services, apply::ProgressTexts{},
                        [&](const std::string& text) { err << text << std::endl; });
    const apply::ApplyResult result = run.Run(profile, shown);
    if (result.Succeeded()) {
        return kExitOk;
    }
    err << apply::FailureSummary(result);
    return kExitFailed;
}

#ifdef QUORV_QIC_INVENTORY
int Interfaces(std::ostream& out) {
    QStringList ids, adapters;
    inventory::ReadNetworkConnections(ids, adapters);
    for (qsizetype i = 0; i < ids.size(); ++i) {
        out << ids[i].toStdString() << '\t' << adapters.value(i).toStdString() << '\n';
    }
    return kExitOk;
}

int Printers(std::ostream& out) {
    QStringList names, captions;
    int defaultIndex = -1;
    bool read = false;
    inventory::ReadPrinters(names, captions, defaultIndex, read);
    for (qsizetype i = 0; i < names.size(); ++i) {
        out << names[i].toStdString() << '\t' << captions.value(i).toStdString();
        if (i == defaultIndex) {
            out << "\tdefault";
        }
        out << '\n';
    }
    return kExitOk;
}
#else
int Interfaces(std::ostream&) {
    throw Exception("this qic was built without the connection inventory");
}
int Printers(std::ostream&) {
    throw Exception("this qic was built without the printer inventory");
}
#endif

int Dispatch(const Invocation& inv, std::ostream& out, std::ostream& err) {
    if (inv.command.empty()) {
        out << kUsage;
        return kExitOk;
    }
    if (inv.command == "interfaces") {
        return Interfaces(out);
    }
    if (inv.command == "printers") {
        return Printers(out);
    }
    const std::string path = inv.dataFile ? *inv.dataFile : app::DefaultDataFilePath();
    // Root takes a profile's orders only from a file judged as it was opened, before
    // anything in it is read.
    std::unique_ptr<app::TRootDataFile> judged;
    if (inv.command == "apply" && !inv.dryRun && geteuid() == 0) {
        judged = std::make_unique<app::TRootDataFile>(path);
    }
    DataFile data(path, judged ? judged->OpenedPath() : std::string());
    if (inv.command == "list" || inv.command == "show") {
        WarnDamaged(data, path, err);
    }
    if (inv.command == "list") {
        return List(data, inv.json, out);
    }
    if (inv.command == "show") {
        const Profile p = data.Find(inv.name);
        out << (inv.json ? ProfileJson(p) + '\n' : ShowText(p));
        return kExitOk;
    }
    if (inv.command == "add") {
        return Add(data, inv);
    }
    if (inv.command == "delete") {
        data.Find(inv.name);
        data.profiles.Delete();
        return kExitOk;
    }
    if (inv.command == "edit") {
        return Edit(data.profiles, inv);
    }
    if (inv.command == "rename") {
        return Rename(data.profiles, inv);
    }
    if (inv.command == "export") {
        return Export(data.profiles, inv, out);
    }
    if (inv.command == "import") {
        return Import(data.profiles, inv, TerminalQuestioner(err), out);
    }
    return Apply(data, inv, out, err);
}

}  // namespace

int RunQic(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Invocation inv;
    try {
        inv = ParseArguments(args);
    } catch (const UsageError& e) {
        err << "qic: " << e.what() << "\n(qic help shows the usage)\n";
        return kExitUsage;
    }
    try {
        return Dispatch(inv, out, err);
    } catch (const UsageError& e) {
        err << "qic: " << e.what() << '\n';
        return kExitUsage;
    } catch (const std::exception& e) {
        err << "qic: " << e.what() << '\n';
        return kExitFailed;
    }
}

}  // namespace quorv::cli
