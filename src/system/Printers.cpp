#include "system/Printers.h"

#include <cups/cups.h>

namespace quorv::inventory {
namespace {

QString Option(const cups_dest_t& dest, const char* name) {
    const char* value = cupsGetOption(name, dest.num_options, dest.options);
    return value ? QString::fromUtf8(value) : QString();
}

}  // namespace

std::optional<QList<CupsPrinter>> ReadCupsPrinters() {
    constexpr int kConnectTimeoutMs = 2000;
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                kConnectTimeoutMs, nullptr);
    if (!http) {
        return std::nullopt;
    }
    cups_dest_t* dests = nullptr;
    int count = cupsGetDests2(http, &dests);
    ipp_status_t status = cupsLastError();
    httpClose(http);
    if (count == 0 && status > IPP_STATUS_OK_EVENTS_COMPLETE &&
        status != IPP_STATUS_ERROR_NOT_FOUND) {
        cupsFreeDests(count, dests);
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
        printer.info = Option(dest, "printer-info");
        printer.location = Option(dest, "printer-location");
        printer.deviceUri = Option(dest, "device-uri");
        printer.isDefault = dest.is_default != 0;
        printer.shared = Option(dest, "printer-is-shared") == QLatin1String("true");
        bool ok = false;
        unsigned type = Option(dest, "printer-type").toUInt(&ok);
        printer.remote = ok && (type & CUPS_PRINTER_REMOTE) != 0;
        int state = Option(dest, "printer-state").toInt(&ok);
        printer.state = ok ? state : 3;
        out.append(printer);
    }
    cupsFreeDests(count, dests);
    return out;
}

}  // namespace quorv::inventory
