#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

typedef struct sd_bus_message sd_bus_message;

namespace quorv::inventory {

// One D-Bus value of any type. NetworkManager's settings hold values of types we never look
// at, and they must go back exactly as they came; a plain tree of our own does that without
// a value library of its own beside sd-bus.
class DbusValue {
  public:
    // No value at all (an empty signature): what a missing key reads as.
    DbusValue() = default;

    static DbusValue String(std::string text);
    static DbusValue ObjectPath(std::string path);
    static DbusValue Bool(bool value);
    static DbusValue Uint32(std::uint32_t value);
    static DbusValue Int32(std::int32_t value);
    static DbusValue Int64(std::int64_t value);
    static DbusValue Uint64(std::uint64_t value);
    // items must all be of elementSignature, so that an empty array keeps its type.
    static DbusValue Array(std::string elementSignature, std::vector<DbusValue> items);
    static DbusValue Struct(std::vector<DbusValue> fields);
    static DbusValue Variant(DbusValue inner);
    // a{s<valueSignature>}; with "v" each value is wrapped in a variant here.
    static DbusValue Dict(const std::string& valueSignature,
                          std::vector<std::pair<std::string, DbusValue>> entries);

    const std::string& Signature() const { return signature_; }
    bool Is(std::string_view signature) const { return signature_ == signature; }
    bool Empty() const { return signature_.empty(); }

    // Basic values; each reads as zero or "" when the value is of another type.
    const std::string& Text() const { return text_; }  // s, o, g
    bool AsBool() const { return Is("b") && bits_ != 0; }
    std::uint64_t Bits() const { return bits_; }                  // unsigned integers
    std::int64_t AsInt64() const { return std::int64_t(bits_); }  // signed ones (n, i, x)
    // Elements of an array, fields of a struct, key and value of a dict entry, or the one
    // value inside a variant.
    const std::vector<DbusValue>& Items() const { return items_; }

    // Same type and contents.
    bool operator==(const DbusValue&) const = default;

    // In an a{s?}: the value of key, unwrapped when it is a variant; Empty() when missing.
    const DbusValue& Find(std::string_view key) const;

    // The next complete value of a message being read; throws std::runtime_error when none.
    static DbusValue ReadFrom(sd_bus_message* message);
    // Adds the value to a message being built; throws std::runtime_error when sd-bus refuses.
    void AppendTo(sd_bus_message* message) const;

  private:
    DbusValue(std::string signature, std::uint64_t bits)
        : signature_(std::move(signature)), bits_(bits) {}

    std::string signature_;
    std::uint64_t bits_ = 0;
    std::string text_;
    std::vector<DbusValue> items_;
};

using DbusArgs = std::vector<DbusValue>;

// Every value of a message's body, in order.
DbusArgs ReadBody(sd_bus_message* message);

}  // namespace quorv::inventory
