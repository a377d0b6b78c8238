#include "system/Inventory.h"

#include "system/WmiQuery.h"

namespace quorv::inventory {
namespace {

const QString kNamespace = QStringLiteral("root\\CIMV2");

QString Cell(const QueryTable& table, int row, int column) {
    if (row < 0 || row >= table.size() || column < 0 || column >= table[row].size()) {
        return QString();
    }
    return table[row][column];
}

}  // namespace

void ReadNetworkConnections(QStringList& connectionIDs, QStringList& adapterNames) {
    ReadNetworkConnections(SystemWmiSource(), connectionIDs, adapterNames);
}

void ReadPrinters(QStringList& printerNames, QStringList& printerCaptions, int& defaultPrinterIndex,
                  bool& printersRead) {
    ReadPrinters(SystemWmiSource(), printerNames, printerCaptions, defaultPrinterIndex,
                 printersRead);
}

void ReadNetworkConnections(const WmiSource& source, QStringList& connectionIDs,
                            QStringList& adapterNames) {
    connectionIDs.clear();
    adapterNames.clear();
    QueryTable table;
    int count = 0;
    RunWmiQuery(source, QString(), kNamespace, QString(), QString(),
                QStringLiteral("SELECT NetConnectionID, Name FROM Win32_NetworkAdapter  WHERE "
                               "NetConnectionID <> NULL"),
                table, count);
    int idColumn = FindWmiColumn(table, QStringLiteral("NetConnectionID"));
    int nameColumn = FindWmiColumn(table, QStringLiteral("Name"));
    for (int r = 1; r <= count && r < table.size(); ++r) {
        connectionIDs << Cell(table, r, idColumn);
        adapterNames << Cell(table, r, nameColumn);
    }
}

void ReadPrinters(const WmiSource& source, QStringList& printerNames, QStringList& printerCaptions,
                  int& defaultPrinterIndex, bool& printersRead) {
    printerNames.clear();
    printerCaptions.clear();
    QueryTable table;
    int count = 0;
    RunWmiQuery(source, QString(), kNamespace, QString(), QString(),
                QStringLiteral("SELECT Name, Caption, Default FROM Win32_Printer "), table, count);
    int nameColumn = FindWmiColumn(table, QStringLiteral("Name"));
    int captionColumn = FindWmiColumn(table, QStringLiteral("Caption"));
    int defaultColumn = FindWmiColumn(table, QStringLiteral("Default"));
    for (int i = 0; i < count && i + 1 < table.size(); ++i) {
        printerNames << Cell(table, i + 1, nameColumn);
        printerCaptions << Cell(table, i + 1, captionColumn);
        if (Cell(table, i + 1, defaultColumn) == QLatin1String("True")) {
            defaultPrinterIndex = i;
        }
    }
    printersRead = true;
}

}  // namespace quorv::inventory
