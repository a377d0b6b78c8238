#include "gui/dialogs/ConnectionChoices.h"

#include <utility>

#include "base/Exception.h"
#include "core/Ipv4.h"
#include "gui/dialogs/DialogFrame.h"
#include "system/ConnectionList.h"

namespace quorv::dialogs {

namespace {

std::optional<std::vector<inventory::NetInterface>> ReadSystemConnections() {
    try {
        return inventory::ReadInterfaces();
    } catch (const quorv::Exception&) {
        return std::nullopt;
    }
}

ConnectionReader& Reader() {
    static ConnectionReader reader = ReadSystemConnections;
    return reader;
}

const QString kDash = QStringLiteral(" \u2014 ");

}  // namespace

QString ConnectionLabel(const inventory::NetInterface& net) {
    QString label = QString::fromStdString(net.name) + kDash;
    if (!net.up) {
        label += Message("msgLinkOff");
    } else {
        label += Message(net.carrier ? "msgLinkUp" : "msgLinkDown");
    }
    if (!net.addresses.empty()) {
        label += QStringLiteral(", ") +
                 QString::fromStdString(apply::FormatIpv4(net.addresses.front().address));
    }
    return label;
}

QString AbsentConnectionLabel(const QString& name) {
    return name.isEmpty() ? Message("msgConnectionNone") : name + kDash + Message("msgLinkAbsent");
}

TConnectionChoices ConnectionChoices(
    const std::optional<std::vector<inventory::NetInterface>>& interfaces,
    const inventory::TInventoryLists& lists) {
    TConnectionChoices choices;
    if (!interfaces) {
        for (int i = 0; i < lists.ConnectionIDs.size(); ++i) {
            choices.Entries.push_back(
                {lists.ConnectionIDs[i],
                 lists.ConnectionIDs[i] + "(" + lists.AdapterNames.value(i) + ")"});
        }
        return choices;
    }
    const std::vector<inventory::NetInterface> list = inventory::ConnectionList(*interfaces);
    for (const inventory::NetInterface& net : list) {
        choices.Entries.push_back({QString::fromStdString(net.name), ConnectionLabel(net)});
    }
    if (auto index = inventory::DefaultRouteConnection(list)) {
        choices.DefaultRoute = static_cast<int>(*index);
    }
    return choices;
}

void SetConnectionReader(ConnectionReader reader) {
    Reader() = reader ? std::move(reader) : ReadSystemConnections;
}

std::optional<std::vector<inventory::NetInterface>> ReadConnections() {
    return Reader()();
}

}  // namespace quorv::dialogs
