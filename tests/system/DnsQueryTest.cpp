#include "system/DnsQuery.h"

#include <gtest/gtest.h>

namespace quorv::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The query turned into a reply with the given code, as a server sends it back.
Bytes ReplyTo(Bytes query, int rcode) {
    query[2] = 0x80;
    query[3] = std::uint8_t(rcode);
    return query;
}

bool Answers(const Bytes& reply, std::uint16_t id) {
    return IsDnsReplyTo(reply.data(), reply.size(), id);
}

TEST(DnsQuery, TheQueryAsksForTheRootServersUnderItsId) {
    const Bytes q = DnsRootQuery(0xBEEF);
    EXPECT_EQ(q, (Bytes{0xBE, 0xEF, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1}));
    EXPECT_FALSE(Answers(q, 0xBEEF)) << "the query itself is no reply";
}

TEST(DnsQuery, AnyReplyCodeWithOurIdAnswers) {
    const Bytes q = DnsRootQuery(0x1234);
    for (int rcode : {0, 2, 3, 5}) {  // NOERROR, SERVFAIL, NXDOMAIN, REFUSED
        EXPECT_TRUE(Answers(ReplyTo(q, rcode), 0x1234)) << rcode;
    }
    // A refusal that leaves the question out still answers.
    Bytes bare = ReplyTo(q, 5);
    bare.resize(12);
    bare[5] = 0;
    EXPECT_TRUE(Answers(bare, 0x1234));
    // Answer records after the question do not matter.
    Bytes full = ReplyTo(q, 0);
    full[7] = 1;
    full.insert(full.end(), {0, 0, 2, 0, 1, 0, 0, 0, 60, 0, 2, 0xC0, 0x0C});
    EXPECT_TRUE(Answers(full, 0x1234));
}

TEST(DnsQuery, ForeignAndMalformedDatagramsAreIgnored) {
    const Bytes reply = ReplyTo(DnsRootQuery(0x1234), 0);
    EXPECT_FALSE(Answers(reply, 0x1235)) << "another id";
    for (size_t size = 0; size < reply.size(); ++size) {
        Bytes cut(reply.begin(), reply.begin() + long(size));
        // Each cut reply still announces the question it lacks.
        EXPECT_FALSE(Answers(cut, 0x1234)) << size;
    }
    Bytes otherQuestion = reply;
    otherQuestion[14] = 1;  // type A instead of NS
    EXPECT_FALSE(Answers(otherQuestion, 0x1234));
    Bytes twoQuestions = reply;
    twoQuestions[5] = 2;
    EXPECT_FALSE(Answers(twoQuestions, 0x1234));
    Bytes notQuery = reply;
    notQuery[2] = 0x80 | (4 << 3);  // NOTIFY
    EXPECT_FALSE(Answers(notQuery, 0x1234));
    EXPECT_FALSE(IsDnsReplyTo(nullptr, 0, 0));
}

}  // namespace
}  // namespace quorv::platform
