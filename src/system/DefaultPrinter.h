#pragma once

#include <optional>
#include <string>

namespace quorv::apply {

// Makes the named CUPS destination ("printer" or "printer/instance") the user's default
// printer, as `lpoptions -d` does. An unknown name changes nothing. Gives up after a few
// seconds when the CUPS server does not answer. Returns whether the default was set.
bool SetDefaultPrinter(const std::string& name);

// The user's default printer as CUPS names it ("printer" or "printer/instance"), "" when
// there is none; nothing when the server does not answer within the same few seconds.
std::optional<std::string> ReadDefaultPrinter();

}  // namespace quorv::apply
