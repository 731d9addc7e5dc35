// The multiplayer packet: its byte layout, texts at the length limit, and packets from
// outside that are malformed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "net/net_wire.h"

namespace kestrin {
namespace {

TEST(NetWire, RealPacketLayout) {
    std::vector<uint8_t> bytes = EncodeNetPayload(true, -2, RValue(1.5));
    ASSERT_EQ(bytes.size(), kNetRealPacketSize);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1], 0xFE);
    EXPECT_EQ(bytes[4], 0xFF);
    EXPECT_EQ(bytes[5], 0);
    double back = 0;
    std::memcpy(&back, bytes.data() + 6, 8);
    EXPECT_EQ(back, 1.5);
    auto m = DecodeNetPayload(bytes);
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->ismessage);
    EXPECT_EQ(m->messid, -2);
    EXPECT_TRUE(m->val.IsReal());
    EXPECT_EQ(m->val.val(), 1.5);
}

TEST(NetWire, TextsRoundTripUpToTheLimitAndLongerOnesAreCut) {
    struct Case {
        std::string text;
        size_t sent;
    };
    const std::string euro = "\xE2\x82\xAC"; // three bytes
    std::string split(kNetTextLimit - 1, 'a');
    split += euro; // would be cut inside the character
    const Case cases[] = {
        {"", 0},
        {"hello", 5},
        {std::string(kNetTextLimit, 'x'), kNetTextLimit},
        {std::string(kNetTextLimit + 1, 'y'), kNetTextLimit},
        {split, kNetTextLimit - 1},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = EncodeNetPayload(false, 7, RValue(c.text));
        ASSERT_EQ(bytes.size(), 10 + c.sent) << c.text.size();
        EXPECT_LE(bytes.size(), kNetWireLimit);
        auto m = DecodeNetPayload(bytes);
        ASSERT_TRUE(m) << c.text.size();
        EXPECT_FALSE(m->ismessage);
        EXPECT_EQ(m->messid, 7);
        ASSERT_TRUE(m->val.IsString());
        EXPECT_EQ(m->val.str(), std::string_view(c.text).substr(0, c.sent));
    }
}

TEST(NetWire, MalformedPacketsAreDropped) {
    std::vector<uint8_t> real = EncodeNetPayload(true, 1, RValue(2.0));
    std::vector<uint8_t> text = EncodeNetPayload(true, 1, RValue("abc"));
    auto with = [](std::vector<uint8_t> b, size_t at, uint8_t v) {
        b[at] = v;
        return b;
    };
    auto resized = [](std::vector<uint8_t> b, size_t n) {
        b.resize(n, 0);
        return b;
    };
    std::vector<uint8_t> huge(10 + kNetTextLimit + 1, 'z');
    huge[0] = 1;
    huge[5] = 1;
    const uint32_t n = kNetTextLimit + 1;
    std::memcpy(huge.data() + 6, &n, 4);
    const std::vector<uint8_t> cases[] = {
        {},
        {1},
        resized(real, 5),
        resized(real, 13),   // the real cut short
        resized(real, 15),   // a byte left over
        with(real, 0, 2),    // message flag neither 0 nor 1
        with(real, 5, 2),    // string flag neither 0 nor 1
        resized(text, 12),   // the text shorter than its length
        resized(text, 14),   // bytes beyond the text
        with(text, 6, 0xFF), // length far beyond the end
        with(text, 9, 0x80), // length with its top bit set
        resized(text, 9),    // no room for the length
        huge,                // longer than any text may be
        std::vector<uint8_t>(kNetWireLimit + 1, 0),
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_FALSE(DecodeNetPayload(cases[i])) << "case " << i;
}

} // namespace
} // namespace kestrin
