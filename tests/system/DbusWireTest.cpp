// The wire form of bus messages against GIO's own writer and reader.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "system/DbusWire.h"

namespace quorv::inventory {
namespace {

// Settings as NetworkManager passes them, with every kind of value they hold and some edges:
// empty arrays and dictionaries, a variant in a variant, 64-bit numbers after a byte.
Variant Sample() {
    return Variant(g_variant_ref_sink(g_variant_new_parsed(
        "({'connection': {'id': <'lan0 ü'>, 'autoconnect': <false>, 'timestamp': <uint64 "
        "1700000000>, 'permissions': <@as []>}, 'ipv4': {'address-data': <[{'address': "
        "<'10.0.0.2'>, 'prefix': <uint32 24>}]>, 'dns': <[uint32 1, 2]>, 'route-metric': <int64 "
        "-1>, 'routes': <@aau []>}, 'x': @a{sv} {}}, objectpath '/org/x/1', byte 7, int64 -5, "
        "<<int16 -3>>, signature 'a{sv}', 2.5)")));
}

TEST(DbusWire, GioReadsWhatWeWriteAndWeReadWhatGioWrites) {
    DbusMessage ours;
    ours.type = DbusMessage::kCall;
    ours.flags = kAllowInteractiveAuthorization;
    ours.serial = 9;
    ours.path = "/org/freedesktop/NetworkManager/Devices/3";
    ours.interface = "org.freedesktop.NetworkManager.Device";
    ours.member = "Reapply";
    ours.destination = "org.freedesktop.NetworkManager";
    ours.body = Sample();
    std::string wire = Marshal(ours);
    ASSERT_EQ(MessageSize(wire.data()), wire.size());
    GError* error = nullptr;
    GDBusMessage* theirs = g_dbus_message_new_from_blob(
        reinterpret_cast<guchar*>(wire.data()), wire.size(), G_DBUS_CAPABILITY_FLAGS_NONE, &error);
    ASSERT_TRUE(theirs) << error->message;
    EXPECT_TRUE(g_variant_equal(g_dbus_message_get_body(theirs), ours.body.get()));
    EXPECT_STREQ(g_dbus_message_get_member(theirs), "Reapply");
    EXPECT_EQ(g_dbus_message_get_serial(theirs), 9u);
    EXPECT_TRUE(g_dbus_message_get_flags(theirs) &
                G_DBUS_MESSAGE_FLAGS_ALLOW_INTERACTIVE_AUTHORIZATION);

    for (auto order :
         {G_DBUS_MESSAGE_BYTE_ORDER_LITTLE_ENDIAN, G_DBUS_MESSAGE_BYTE_ORDER_BIG_ENDIAN}) {
        GDBusMessage* reply = g_dbus_message_new_method_error_literal(theirs, "org.x.Failed", "no");
        g_dbus_message_set_serial(reply, 40);
        g_dbus_message_set_byte_order(reply, order);
        g_dbus_message_set_body(
            reply,
            g_variant_new("(s@a{sa{sv}})", "no", g_variant_get_child_value(ours.body.get(), 0)));
        gsize size = 0;
        guchar* blob = g_dbus_message_to_blob(reply, &size, G_DBUS_CAPABILITY_FLAGS_NONE, nullptr);
        ASSERT_EQ(MessageSize(reinterpret_cast<char*>(blob)), size);
        DbusMessage back = Unmarshal(reinterpret_cast<char*>(blob), size);
        EXPECT_EQ(back.type, DbusMessage::kError);
        EXPECT_EQ(back.errorName, "org.x.Failed");
        EXPECT_EQ(back.replySerial, 9u);
        EXPECT_TRUE(g_variant_equal(back.body.get(), g_dbus_message_get_body(reply)));

        // Cut short or with a boolean of 2 it is refused, never half read.
        EXPECT_THROW(Unmarshal(reinterpret_cast<char*>(blob), size - 1), std::runtime_error);
        g_free(blob);
        g_object_unref(reply);
    }
    g_object_unref(theirs);

    DbusMessage flag;
    flag.type = DbusMessage::kReturn;
    flag.serial = 1;
    flag.replySerial = 1;
    flag.body.reset(g_variant_ref_sink(g_variant_new("(b)", TRUE)));
    std::string bad = Marshal(flag);
    bad[bad.size() - 4] = 2;
    EXPECT_THROW(Unmarshal(bad.data(), bad.size()), std::runtime_error);
}

}  // namespace
}  // namespace quorv::inventory
