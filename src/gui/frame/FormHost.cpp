#include "gui/frame/FormHost.h"

namespace quorv::settings {

namespace {
IFormHost* gHost = nullptr;
}

IFormHost* FormHost() {
    return gHost;
}

void SetFormHost(IFormHost* host) {
    gHost = host;
}

}  // namespace quorv::settings
