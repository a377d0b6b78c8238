#pragma once

#include <cups/cups.h>

namespace quorv::apply {

// The CUPS calls the program makes. libcups brings some twenty libraries of its own (TLS,
// Kerberos, Avahi) whose start-up every run of qic and the window would pay for, so it is
// loaded on the first printer call only.
struct CupsCalls {
    decltype(&::cupsServer) Server;
    decltype(&::ippPort) Port;
    decltype(&::cupsEncryption) Encryption;
    decltype(&::httpConnect2) Connect;
    decltype(&::httpSetTimeout) SetTimeout;
    decltype(&::httpClose) Close;
    decltype(&::ippNewRequest) NewRequest;
    decltype(&::cupsDoRequest) DoRequest;
    decltype(&::ippDelete) DeleteMessage;
    decltype(&::cupsLastError) LastError;
    decltype(&::cupsGetDests2) GetDests;
    decltype(&::cupsGetDest) GetDest;
    decltype(&::cupsSetDests2) SetDests;
    decltype(&::cupsFreeDests) FreeDests;
    decltype(&::cupsGetOption) GetOption;

    // A connection to the user's CUPS server (CUPS_SERVER, client.conf, else the local
    // scheduler), or nullptr when it cannot be reached within timeoutMs.
    http_t* ConnectToServer(int timeoutMs) const;
};

// The calls, or nullptr when libcups cannot be loaded: then no printer server answers.
const CupsCalls* Cups();

}  // namespace quorv::apply
