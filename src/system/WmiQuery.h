#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "system/CimValue.h"

namespace quorv::inventory {

// Answer of a query: row 0 is the header ("Instance", then the property names), row r >= 1 is
// the r-th object ("r", then its values as text). No objects: an empty table.
using QueryTable = QList<QStringList>;

struct WmiClass {
    QStringList properties;  // every property of the class, in the provider's order
    QList<WmiObject> objects;
};

// Where objects come from. Class names ignore case.
class WmiSource {
  public:
    virtual ~WmiSource() = default;
    // Nothing when the class is unknown or its data cannot be read.
    virtual std::optional<WmiClass> Instances(const QString& className) const = 0;
};

// The Linux stand-ins: Win32_NetworkAdapter from netlink and ethtool, Win32_Printer from CUPS.
const WmiSource& SystemWmiSource();

// Runs a query (text starting with "SELECT") or lists a class's instances (any other text, taken
// as the class name). Returns the number of property columns, 0 without objects, -1 on failure.
int RunWmiQuery(const QString& server, const QString& nameSpace, const QString& user,
                const QString& password, const QString& query, QueryTable& table,
                int& instanceCount);
int RunWmiQuery(const WmiSource& source, const QString& server, const QString& nameSpace,
                const QString& user, const QString& password, const QString& query,
                QueryTable& table, int& instanceCount);

// Column c >= 1 whose header is exactly the name, or 0.
int FindWmiColumn(const QueryTable& table, const QString& name);

}  // namespace quorv::inventory
