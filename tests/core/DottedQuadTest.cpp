#include "core/DottedQuad.h"

#include <gtest/gtest.h>

namespace quorv::dialogs {
namespace {

TEST(IsValidDottedQuad, AcceptsFourOctets) {
    for (const char* text : {"0.0.0.0", "255.255.255.255", "192.168.0.1", "10.0.0.5", "1 .2.3.4",
                             "001.2.3.4", "\"1\".2.3.4"}) {
        EXPECT_TRUE(IsValidDottedQuad(text)) << text;
    }
}

TEST(IsValidDottedQuad, RejectsEverythingElse) {
    for (const char* text : {"", "1.2.3", "1..3.4", "1.2.3.4.5", "256.0.0.1", "1.2.3.999999999999",
                             "1.2.3.", ".1.2.3", "a.b.c.d", "-1.2.3.4", "+1.2.3.4", "$FF.0.0.1",
                             "0x1.2.3.4", "1.2.3.4 5", "1,2,3", "1 2 3", " . . . "}) {
        EXPECT_FALSE(IsValidDottedQuad(text)) << text;
    }
}

}  // namespace
}  // namespace quorv::dialogs
