#pragma once

#include <QCommandLineOption>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Invocation.h"

namespace quorv::cli {

// Every option qic knows, once: commands name the ones they take, so an option reads the
// same in every command's help and binds to the same field.
struct OptionSpec {
    const char* name;
    const char* shortName;  // nullptr: none
    const char* valueName;  // nullptr: a switch
    const char* description;
    void (*bind)(Invocation& inv, std::string value);  // nullptr: handled before binding
    bool repeatable = false;                           // bound once per occurrence
    // The value a bare --name stands for; nullptr: the value, if any, must be given.
    const char* implicitValue = nullptr;
};

const std::vector<OptionSpec>& OptionTable();

// The option whose long or short name this is; nullptr for none.
const OptionSpec* FindOption(std::string_view name);

QCommandLineOption ToQt(const OptionSpec& option);

// "--name VALUE", "--name[=VALUE]" or "--name", as synopses show an option.
std::string OptionSyntax(const OptionSpec& option);

// The arguments with each bare option that has an implicit value written out
// ("--confirm" -> "--confirm=15"), up to a "--"; QCommandLineParser has no optional values.
std::vector<std::string> WithImplicitValues(const std::vector<std::string>& args);

// Arguments pass through QCommandLineParser as Latin-1, one character per byte, so a name
// or path that is not UTF-8 comes back byte for byte; option names are ASCII either way.
QString ArgumentToQt(const std::string& argument);
std::string ArgumentFromQt(const QString& argument);

}  // namespace quorv::cli
