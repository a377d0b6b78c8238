#pragma once

#include <glib.h>

#include <memory>
#include <optional>
#include <string>

namespace quorv::inventory {

// Owns a GVariant reference.
struct VariantUnref {
    void operator()(GVariant* v) const { g_variant_unref(v); }
};
using Variant = std::unique_ptr<GVariant, VariantUnref>;

// One D-Bus message. GVariant holds the values; the wire form is written and read here, so
// that a program speaking to the bus needs GLib alone.
struct DbusMessage {
    enum Type : guint8 { kCall = 1, kReturn = 2, kError = 3, kSignal = 4 };
    guint8 type = kCall;
    guint8 flags = 0;
    guint32 serial = 0;
    guint32 replySerial = 0;
    std::string path, interface, member, errorName, destination;
    Variant body;  // a tuple, or nothing
};

constexpr guint8 kNoReplyExpected = 0x1;
constexpr guint8 kAllowInteractiveAuthorization = 0x4;

// The message in little-endian wire form.
std::string Marshal(const DbusMessage& message);

// The size of the message whose first 16 bytes are given; 0 when they are not a header.
std::size_t MessageSize(const char* first16);
// Throws std::runtime_error on a damaged message.
DbusMessage Unmarshal(const char* data, std::size_t size);

}  // namespace quorv::inventory
