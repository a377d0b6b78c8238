#pragma once

#include <optional>

#include <QList>
#include <QString>

namespace quorv::inventory {

struct CupsPrinter {
    QString name;
    QString info;  // printer-info, the human-readable description
    QString location;
    QString deviceUri;
    bool isDefault = false;
    bool shared = false;
    bool remote = false;
    int state = 3;  // IPP printer-state: 3 idle, 4 processing, 5 stopped
};

// The CUPS destinations of this user (instances left out), or nothing when the scheduler cannot
// be reached; a scheduler that is down is noticed at once, not after the library's long retries.
std::optional<QList<CupsPrinter>> ReadCupsPrinters();

}  // namespace quorv::inventory
