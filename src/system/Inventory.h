#pragma once

#include <QStringList>

#include "system/WmiQuery.h"

namespace quorv::inventory {

// Fills the connection names (the names netsh takes) and the adapter names beside them.
// Failures are silent: the lists keep what was read before.
void ReadNetworkConnections(QStringList& connectionIDs, QStringList& adapterNames);

// Fills printer names and captions; defaultPrinterIndex becomes the index of the (last) printer
// marked default and is left alone when none is. printersRead is set in every case.
void ReadPrinters(QStringList& printerNames, QStringList& printerCaptions, int& defaultPrinterIndex,
                  bool& printersRead);

// The same, answered by another provider.
void ReadNetworkConnections(const WmiSource& source, QStringList& connectionIDs,
                            QStringList& adapterNames);
void ReadPrinters(const WmiSource& source, QStringList& printerNames, QStringList& printerCaptions,
                  int& defaultPrinterIndex, bool& printersRead);

}  // namespace quorv::inventory
