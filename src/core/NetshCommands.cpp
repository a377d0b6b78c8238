#include "core/NetshCommands.h"

#include <utility>

#include "system/CommandLine.h"

namespace quorv::apply {

namespace {

// Builds the arguments and the line side by side, so that the two never disagree.
class CommandBuilder {
  public:
    CommandBuilder(std::string_view verb, std::string_view object, std::string_view connection) {
        for (std::string_view word : {std::string_view("netsh"), std::string_view("interface"),
                                      std::string_view("ip"), verb, object}) {
            Word(word);
        }
        command_.args.push_back("name=" + std::string(connection));
        command_.line += " name=\"" + platform::EscapeInsideQuotes(connection) + '"';
    }

    // A fixed parameter such as "source=DHCP".
    CommandBuilder& Word(std::string_view word) {
        command_.args.emplace_back(word);
        if (!command_.line.empty()) {
            command_.line += ' ';
        }
        command_.line += word;
        return *this;
    }

    // A parameter with a value from the profile.
    CommandBuilder& Value(std::string_view key, std::string_view value) {
        command_.args.push_back(std::string(key) + '=' + std::string(value));
        // An empty value stays empty: netsh then sees "addr=" and refuses it itself.
        command_.line += ' ' + std::string(key) + '=' +
                         (value.empty() ? std::string() : platform::QuoteArgument(value));
        return *this;
    }

    NetshCommand Done() { return std::move(command_); }

  private:
    NetshCommand command_;
};

}  // namespace

NetshCommand SetDhcpAddressCommand(std::string_view connection) {
    return CommandBuilder("set", "address", connection).Word("source=DHCP").Done();
}

NetshCommand SetStaticAddressCommand(std::string_view connection, std::string_view address,
                                     std::string_view mask) {
    return CommandBuilder("set", "address", connection)
        .Word("source=static")
        .Value("addr", address)
        .Value("mask", mask)
        .Done();
}

NetshCommand AddAddressCommand(std::string_view connection, std::string_view address,
                               std::string_view mask) {
    return CommandBuilder("add", "address", connection)
        .Value("addr", address)
        .Value("mask", mask)
        .Done();
}

NetshCommand SetGatewayCommand(std::string_view connection, std::string_view gateway) {
    return CommandBuilder("set", "address", connection)
        .Value("gateway", gateway)
        .Word("gwmetric=0")
        .Done();
}

NetshCommand SetDhcpDnsCommand(std::string_view connection) {
    return CommandBuilder("set", "dns", connection).Word("source=DHCP").Done();
}

NetshCommand SetStaticDnsCommand(std::string_view connection, std::string_view dns) {
    return CommandBuilder("set", "dns", connection)
        .Word("source=static")
        .Value("addr", dns)
        .Word("register=PRIMARY")
        .Done();
}

NetshCommand AddDnsCommand(std::string_view connection, std::string_view dns) {
    return CommandBuilder("add", "dns", connection).Value("addr", dns).Word("index=2").Done();
}

std::vector<NetshCommand> AddressCommands(const Profile& profile) {
    std::vector<NetshCommand> commands;
    if (profile.IsDhcp()) {
        commands.push_back(SetDhcpAddressCommand(profile.Interface));
        return commands;
    }
    const std::vector<std::string> addresses = profile.Addresses();
    const std::vector<std::string> masks = profile.Masks();
    // An address without a mask item of its own is skipped.
    for (size_t i = 0; i < addresses.size() && i < masks.size(); ++i) {
        commands.push_back(i == 0
                               ? SetStaticAddressCommand(profile.Interface, addresses[i], masks[i])
                               : AddAddressCommand(profile.Interface, addresses[i], masks[i]));
    }
    return commands;
}

std::vector<NetshCommand> GatewayCommands(const Profile& profile) {
    if (profile.Gateway.empty()) {
        return {};
    }
    return {SetGatewayCommand(profile.Interface, profile.Gateway)};
}

std::vector<NetshCommand> DnsCommands(const Profile& profile) {
    if (profile.DNS1.empty()) {
        return {SetDhcpDnsCommand(profile.Interface)};
    }
    std::vector<NetshCommand> commands{SetStaticDnsCommand(profile.Interface, profile.DNS1)};
    if (!profile.DNS2.empty()) {
        commands.push_back(AddDnsCommand(profile.Interface, profile.DNS2));
    }
    return commands;
}

std::vector<NetshCommand> NetshCommands(const Profile& profile) {
    std::vector<NetshCommand> all = AddressCommands(profile);
    for (auto* group : {&GatewayCommands, &DnsCommands}) {
        std::vector<NetshCommand> part = group(profile);
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

NetshCommand NetshScript(const std::vector<NetshCommand>& commands) {
    NetshCommand script{{"netsh", "-f", "-"}, "netsh -f -", {}};
    for (const NetshCommand& command : commands) {
        script.input += command.line + '\n';
    }
    return script;
}

bool FitsOnScriptLine(const NetshCommand& command) {
    return command.line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

}  // namespace quorv::apply
