#pragma once

#include <string>

namespace quorv::apply {

// Makes the named CUPS destination ("printer" or "printer/instance") the user's default
// printer, as `lpoptions -d` does. An unknown name changes nothing. Gives up after a few
// seconds when the CUPS server does not answer. Returns whether the default was set.
bool SetDefaultPrinter(const std::string& name);

}  // namespace quorv::apply
