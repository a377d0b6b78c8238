#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "system/InventoryLists.h"
#include "system/NetInterfaces.h"

namespace quorv::dialogs {

// One entry of the IP dialog's connection list: the name a profile stores and what the
// list shows for it.
struct TConnectionChoice {
    QString Name;
    QString Label;
};

// "eth0 — connected, 192.0.2.2": the link state and the first address.
QString ConnectionLabel(const inventory::NetInterface& net);
// The entry of a stored name that is not on this machine (or empty), kept so that saving
// the dialog does not change it.
QString AbsentConnectionLabel(const QString& name);

// The entries, and the position of the one that carries the default route, if any. From the
// kernel's interfaces when they could be read, else from the inventory's connection lists.
struct TConnectionChoices {
    std::vector<TConnectionChoice> Entries;
    int DefaultRoute = -1;
};
TConnectionChoices ConnectionChoices(
    const std::optional<std::vector<inventory::NetInterface>>& interfaces,
    const inventory::TInventoryLists& lists);

// How the IP dialog reads the interfaces; tests replace it, an empty function restores
// the system's reader. Nothing when they cannot be read.
using ConnectionReader = std::function<std::optional<std::vector<inventory::NetInterface>>()>;
void SetConnectionReader(ConnectionReader reader);
std::optional<std::vector<inventory::NetInterface>> ReadConnections();

}  // namespace quorv::dialogs
