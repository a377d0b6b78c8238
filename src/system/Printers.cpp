#include "system/Printers.h"

#include "system/CupsLibrary.h"

namespace quorv::inventory {
namespace {

QString Option(const apply::CupsCalls& cups, const cups_dest_t& dest, const char* name) {
    const char* value = cups.GetOption(name, dest.num_options, dest.options);
    return value ? QString::fromUtf8(value) : QString();
}

}  // namespace

std::optional<QList<CupsPrinter>> ReadCupsPrinters() {
    constexpr int kConnectTimeoutMs = 2000;
    const apply::CupsCalls* cups = apply::Cups();
    if (cups == nullptr) {
        return std::nullopt;
    }
    http_t* http = cups->ConnectToServer(kConnectTimeoutMs);
    if (!http) {
        return std::nullopt;
    }
    cups_dest_t* dests = nullptr;
    int count = cups->GetDests(http, &dests);
    ipp_status_t status = cups->LastError();
    cups->Close(http);
    if (count == 0 && status > IPP_STATUS_OK_EVENTS_COMPLETE &&
        status != IPP_STATUS_ERROR_NOT_FOUND) {
        cups->FreeDests(count, dests);
        return std::nullopt;
    }
    QList<CupsPrinter> out;
    for (int i = 0; i < count; ++i) {
        const cups_dest_t& dest = dests[i];
        if (dest.instance) {
            continue;
        }
        CupsPrinter printer;
        printer.name = QString::fromUtf8(dest.name);
        printer.info = Option(*cups, dest, "printer-info");
        printer.location = Option(*cups, dest, "printer-location");
        printer.deviceUri = Option(*cups, dest, "device-uri");
        printer.isDefault = dest.is_default != 0;
        printer.shared = Option(*cups, dest, "printer-is-shared") == QLatin1String("true");
        bool ok = false;
        unsigned type = Option(*cups, dest, "printer-type").toUInt(&ok);
        printer.remote = ok && (type & CUPS_PRINTER_REMOTE) != 0;
        int state = Option(*cups, dest, "printer-state").toInt(&ok);
        printer.state = ok ? state : 3;
        out.append(printer);
    }
    cups->FreeDests(count, dests);
    return out;
}

}  // namespace quorv::inventory
