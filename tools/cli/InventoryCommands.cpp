#include "cli/InventoryCommands.h"

#ifdef QUORV_QIC_INVENTORY
#include "system/Inventory.h"
#endif

namespace quorv::cli {

InterfacesCommand::InterfacesCommand()
    : Command({"interfaces", "the network connections and their adapters", {}, "", {}}) {}

PrintersCommand::PrintersCommand()
    : Command({"printers", "the printers, the default one marked", {}, "", {}}) {}

#ifdef QUORV_QIC_INVENTORY
std::optional<std::vector<std::string>> MachineAdapters() {
    QStringList ids, adapters;
    inventory::ReadNetworkConnections(ids, adapters);
    std::vector<std::string> names;
    for (const QString& id : ids) {
        names.push_back(id.toStdString());
    }
    return names;
}

int InterfacesCommand::Execute(const Invocation&, std::ostream& out, std::ostream&) const {
    QStringList ids, adapters;
    inventory::ReadNetworkConnections(ids, adapters);
    for (qsizetype i = 0; i < ids.size(); ++i) {
        out << ids[i].toStdString() << '\t' << adapters.value(i).toStdString() << '\n';
    }
    return kExitOk;
}

int PrintersCommand::Execute(const Invocation&, std::ostream& out, std::ostream&) const {
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
std::optional<std::vector<std::string>> MachineAdapters() {
    return std::nullopt;
}

int InterfacesCommand::Execute(const Invocation&, std::ostream&, std::ostream&) const {
    throw Exception("this qic was built without the connection inventory");
}

int PrintersCommand::Execute(const Invocation&, std::ostream&, std::ostream&) const {
    throw Exception("this qic was built without the printer inventory");
}
#endif

}  // namespace quorv::cli
