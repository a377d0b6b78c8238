#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace quorv::settings {

// The filter both file dialogs offer and the extension every exchange file gets.
inline constexpr const char* kExchangeFilter = "Quorv IP Changer Data (*.qic)";
inline constexpr const char* kExchangeExtension = ".qic";

// The chosen name with ".qic" appended unless it already ends in it, in any letter case:
// "list" and "list.txt" get it, "LIST.QIC" stays as chosen.
QString WithExchangeExtension(const QString& fileName);

// The Icon value of a section: decimal, or hexadecimal after "0x", "0X" or "$", with an
// optional sign; a missing, empty or malformed value, or one beyond an int, gives 11.
int ParseIconValue(const QString& text);

// A stored script as one exchange value: the final line break is dropped, so a script
// read back from a file does not grow an empty line per round trip; every other line
// break (CR LF, lone LF or lone CR) becomes ",".
std::string ScriptToExchange(std::string_view script);
// An exchange value as a stored script: each comma-separated piece one line, every line
// followed by CR LF. An empty value is an empty script.
std::string ScriptFromExchange(std::string_view value);

// Line breaks of a one-line column as commas, so no value can split its INI line.
std::string OneLine(std::string_view text);

}  // namespace quorv::settings
