#pragma once

#include <QStringList>

namespace quorv::inventory {

// The main window's four inventory lists. Connections are read at its first activation,
// printers the first time the IP dialog needs them; the dialogs read them from here.
struct TInventoryLists {
    QStringList ConnectionIDs;
    QStringList AdapterNames;
    QStringList PrinterNames;
    QStringList PrinterCaptions;
    int DefaultPrinterIndex = -1;
    bool PrintersRead = false;
};

}  // namespace quorv::inventory
