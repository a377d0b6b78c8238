#include "system/CupsLibrary.h"

#include <dlfcn.h>

#include <optional>

namespace quorv::apply {

namespace {

template <class F>
bool Resolve(void* library, const char* name, F& call) {
    call = reinterpret_cast<F>(dlsym(library, name));
    return call != nullptr;
}

std::optional<CupsCalls> Load() {
    // The library's soname; it stays loaded for the rest of the run.
    void* library = dlopen("libcups.so.2", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return std::nullopt;
    }
    CupsCalls c{};
    const bool all =
        Resolve(library, "cupsServer", c.Server) && Resolve(library, "ippPort", c.Port) &&
        Resolve(library, "cupsEncryption", c.Encryption) &&
        Resolve(library, "httpConnect2", c.Connect) &&
        Resolve(library, "httpSetTimeout", c.SetTimeout) &&
        Resolve(library, "httpClose", c.Close) && Resolve(library, "ippNewRequest", c.NewRequest) &&
        Resolve(library, "cupsDoRequest", c.DoRequest) &&
        Resolve(library, "ippDelete", c.DeleteMessage) &&
        Resolve(library, "cupsLastError", c.LastError) &&
        Resolve(library, "cupsGetDests2", c.GetDests) &&
        Resolve(library, "cupsGetDest", c.GetDest) &&
        Resolve(library, "cupsSetDests2", c.SetDests) &&
        Resolve(library, "cupsFreeDests", c.FreeDests) &&
        Resolve(library, "cupsGetOption", c.GetOption);
    if (!all) {
        dlclose(library);
        return std::nullopt;
    }
    return c;
}

}  // namespace

http_t* CupsCalls::ConnectToServer(int timeoutMs) const {
    return Connect(Server(), Port(), nullptr, AF_UNSPEC, Encryption(), 1, timeoutMs, nullptr);
}

const CupsCalls* Cups() {
    static const std::optional<CupsCalls> calls = Load();
    return calls ? &*calls : nullptr;
}

}  // namespace quorv::apply
