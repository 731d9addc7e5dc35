#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>
#include <vector>

#include "base/bitmap32.h"
#include "base/stream.h"

using namespace kestrin;

namespace {
CStream FromWords(std::initializer_list<int32_t> words) {
    CStream s;
    for (int32_t w : words) s.WriteInteger(w);
    s.Seek(0);
    return s;
}
} // namespace

TEST(Stream, PrimitivesRoundTrip) {
    CStream s;
    s.WriteInteger(std::numeric_limits<int32_t>::min());
    s.WriteInteger(-1);
    s.WriteReal(-0.0);
    s.WriteReal(1e300);
    s.WriteReal(std::numeric_limits<double>::infinity());
    s.WriteBoolean(true);
    s.WriteBoolean(false);
    s.WriteString("");
    s.WriteString("h\xC3\xA9llo \xE2\x82\xAC");
    s.Seek(0);
    EXPECT_EQ(s.ReadInteger(), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(s.ReadInteger(), -1);
    double z = s.ReadReal();
    EXPECT_TRUE(z == 0.0 && std::signbit(z));
    EXPECT_EQ(s.ReadReal(), 1e300);
    EXPECT_EQ(s.ReadReal(), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(s.ReadBoolean());
    EXPECT_FALSE(s.ReadBoolean());
    EXPECT_EQ(s.ReadString(), "");
    EXPECT_EQ(s.ReadString(), "h\xC3\xA9llo \xE2\x82\xAC");
    EXPECT_TRUE(s.AtEnd());
}

TEST(Stream, LittleEndianLayout) {
    CStream s;
    s.WriteInteger(0x01020304);
    s.WriteString("ab");
    EXPECT_EQ(s.Bytes(), (std::vector<uint8_t>{4, 3, 2, 1, 2, 0, 0, 0, 'a', 'b'}));
}

TEST(Stream, BooleansAreTrueOnlyAboveZero) {
    CStream s = FromWords({2, -1, 0, 1});
    EXPECT_TRUE(s.ReadBoolean());
    EXPECT_FALSE(s.ReadBoolean());
    EXPECT_FALSE(s.ReadBoolean());
    EXPECT_TRUE(s.ReadBoolean());
}

TEST(Stream, EmptyAndNegativeStringLengthsConsumeOnlyTheCount) {
    CStream s = FromWords({0, -7, 42});
    EXPECT_EQ(s.ReadString(), "");
    EXPECT_EQ(s.ReadString(), "");
    EXPECT_EQ(s.Position(), 8u);
    EXPECT_EQ(s.ReadInteger(), 42);
}

TEST(Stream, MalformedUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(SanitizeUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(SanitizeUtf8("\xE2\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // cut short
    EXPECT_EQ(SanitizeUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
    EXPECT_EQ(SanitizeUtf8("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}

TEST(Stream, ReadsPastTheEndThrow) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        void (*read)(CStream&);
    };
    const Case cases[] = {
        {"integer", {1, 2, 3}, [](CStream& s) { (void)s.ReadInteger(); }},
        {"real", {1, 2, 3, 4, 5, 6, 7}, [](CStream& s) { (void)s.ReadReal(); }},
        {"string longer than the data", {5, 0, 0, 0, 'a'}, [](CStream& s) { (void)s.ReadString(); }},
        {"huge string", {0xFF, 0xFF, 0xFF, 0x7F}, [](CStream& s) { (void)s.ReadString(); }},
        {"sub-stream", {9, 0, 0, 0, 1}, [](CStream& s) { (void)s.ReadStream(); }},
        {"compressed sub-stream", {9, 0, 0, 0, 1}, [](CStream& s) { (void)s.ReadStreamC(); }},
        {"garbage compressed data", {3, 0, 0, 0, 1, 2, 3}, [](CStream& s) { (void)s.ReadStreamC(); }},
        {"scrambled filler count", {0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0}, [](CStream& s) { (void)s.ReadStreamE(); }},
        {"negative filler count", {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, [](CStream& s) { (void)s.ReadStreamE(); }},
        {"skip", {1}, [](CStream& s) { s.Skip(2); }},
        {"view", {1, 2}, [](CStream& s) { (void)s.ReadView(3); }},
    };
    for (const auto& c : cases) {
        CStream s{std::vector<uint8_t>(c.bytes)};
        EXPECT_THROW(c.read(s), StreamError) << c.what;
    }
}

TEST(Stream, CheckCountRefusesWhatCannotFit) {
    CStream s(std::vector<uint8_t>(16));
    EXPECT_EQ(s.CheckCount(4, 4), 4u);
    EXPECT_THROW(s.CheckCount(5, 4), StreamError);
    EXPECT_THROW(s.CheckCount(-1, 4), StreamError);
    EXPECT_THROW(s.CheckCount(std::numeric_limits<int32_t>::max(), 1), StreamError);
}

TEST(Stream, SubStreamsRoundTripAndKeepTheSourcePosition) {
    CStream inner;
    for (int i = 0; i < 1000; ++i) inner.WriteInteger(i % 7);
    inner.Seek(12);
    CStream s;
    s.WriteStream(inner);
    s.WriteStreamC(inner);
    EXPECT_EQ(inner.Position(), 12u);
    s.Seek(0);
    CStream raw = s.ReadStream();
    CStream packed = s.ReadStreamC();
    EXPECT_EQ(raw.Bytes(), inner.Bytes());
    EXPECT_EQ(packed.Bytes(), inner.Bytes());
    EXPECT_EQ(packed.Position(), 0u);
    EXPECT_TRUE(s.AtEnd());
}

TEST(Stream, ScrambledSubStreamRoundTrips) {
    StreamRandom random(7);
    for (size_t n : {0u, 1u, 2u, 255u, 256u, 257u, 5000u}) {
        CStream inner;
        for (size_t i = 0; i < n; ++i) inner.WriteRaw(reinterpret_cast<const uint8_t*>("\x11\x22\x00\xff") + i % 4, 1);
        CStream s;
        s.WriteStreamE(inner, random);
        s.WriteInteger(99);
        s.Seek(0);
        EXPECT_EQ(s.ReadStreamE().Bytes(), inner.Bytes()) << n;
        EXPECT_EQ(s.ReadInteger(), 99);
    }
}

TEST(Stream, ScrambledSubStreamKnownAnswer) {
    // Identity table, no filler, three bytes: undoing the chain gives 1,0,255 and the
    // exchanges then move the last byte to the front.
    CStream s;
    s.WriteInteger(0);
    s.WriteInteger(0);
    for (int i = 0; i < 256; ++i) s.WriteRaw(reinterpret_cast<const uint8_t*>(&i), 1);
    s.WriteInteger(3);
    uint8_t body[] = {1, 2, 3};
    s.WriteRaw(body, 3);
    s.Seek(0);
    EXPECT_EQ(s.ReadStreamE().Bytes(), (std::vector<uint8_t>{0, 255, 1}));
}

TEST(Stream, HexText) {
    CStream s(std::vector<uint8_t>{0x00, 0xAB, 0x10, 0xFF});
    EXPECT_EQ(s.ConvertToString(), "00AB10FF");
    CStream t;
    ASSERT_TRUE(t.ConvertFromString("00ab10FF"));
    EXPECT_EQ(t.Bytes(), s.Bytes());
    for (const char* bad : {"0", "0G", "zz00"}) {
        EXPECT_FALSE(t.ConvertFromString(bad)) << bad;
        EXPECT_EQ(t.Bytes(), s.Bytes()) << bad;
    }
}

TEST(Stream, DecryptUndoesEncryptWithinTheRange) {
    std::vector<uint8_t> bytes(600);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    for (int32_t key : {0, 1, 249, 250, 123456, -1, -250, -987654}) {
        CStream s{std::vector<uint8_t>(bytes)};
        s.Encrypt(key, 5, 0);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 5, s.Bytes().begin())) << key;
        EXPECT_NE(s.Bytes(), bytes) << key;
        s.Decrypt(key, 5, 0);
        EXPECT_EQ(s.Bytes(), bytes) << key;
        s.Encrypt(key, 10, 20);
        EXPECT_TRUE(std::equal(bytes.begin() + 30, bytes.end(), s.Bytes().begin() + 30)) << key;
        s.Decrypt(key, 10, 20);
        EXPECT_EQ(s.Bytes(), bytes) << key;
    }
    CStream small(std::vector<uint8_t>{1, 2});
    small.Decrypt(3, 100, 5);  // past the end: nothing to do
    EXPECT_EQ(small.Bytes(), (std::vector<uint8_t>{1, 2}));
}

TEST(Stream, BitmapsRoundTripAndUndecodableOnesReadAsNone) {
    TBitmap32 bm(3, 2, 0x80112233u);
    bm.SetPixel(2, 1, 0xFF000000u);
    CStream s;
    s.WriteBitmap(&bm);
    s.WriteBitmap(nullptr);
    CStream junk(std::vector<uint8_t>{'n', 'o', 't', 'b', 'm', 'p'});
    s.WriteBoolean(true);
    s.WriteStreamC(junk);
    s.Seek(0);
    auto back = s.ReadBitmap();
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, bm);
    EXPECT_FALSE(s.ReadBitmap().has_value());
    EXPECT_FALSE(s.ReadBitmap().has_value());
    EXPECT_TRUE(s.AtEnd());
}

TEST(Stream, ViewsReadInPlaceAndAdvance) {
    CStream s = FromWords({7, 8, 9});
    (void)s.ReadInteger();
    const std::span<const uint8_t> view = s.ReadView(5);
    EXPECT_EQ(std::vector<uint8_t>(view.begin(), view.end()), (std::vector<uint8_t>{8, 0, 0, 0, 9}));
    EXPECT_EQ(view.data(), s.Bytes().data() + 4);
    EXPECT_EQ(s.Position(), 9u);
    EXPECT_TRUE(s.ReadView(0).empty());
}

// One inflater for a run of streams keeps its buffer: each stream must still come out whole
// and alone, and a buffer grown by an earlier stream must not lift a later stream's limit.
TEST(Stream, AReusedInflaterGivesEachStreamItsOwnBytesAndLimit) {
    struct Case {
        size_t size;
        size_t limit;
        bool fits;
    };
    const Case cases[] = {
        {10, kMaxInflatedBytes, true},     {300001, kMaxInflatedBytes, true}, {5, kMaxInflatedBytes, true},
        {0, 0, true},                      {100000, 99999, false},            {100000, 100000, true},
        {70, 10, false},                   {1 << 20, kMaxInflatedBytes, true}, {3, 3, true},
    };
    CInflater inflater;
    for (const Case& c : cases) {
        std::vector<uint8_t> data(c.size);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
        const std::vector<uint8_t> packed = Deflate(data);
        SCOPED_TRACE(c.size);
        if (!c.fits) {
            EXPECT_THROW((void)inflater.Inflate(packed, c.limit), StreamError);
            continue;
        }
        const std::span<const uint8_t> out = inflater.Inflate(packed, c.limit);
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), data);
        EXPECT_EQ(Inflate(packed, c.limit), data);
    }
    const std::vector<uint8_t> garbage = {1, 2, 3};
    EXPECT_THROW((void)inflater.Inflate(garbage), StreamError);
    inflater.Trim(0);
    EXPECT_EQ(inflater.Inflate(Deflate(std::vector<uint8_t>{4, 5})).size(), 2u);
}

TEST(Stream, InflateStopsAtItsLimit) {
    std::vector<uint8_t> zeros(100000);
    std::vector<uint8_t> packed = Deflate(zeros);
    EXPECT_EQ(Inflate(packed, 100000).size(), 100000u);
    EXPECT_THROW(Inflate(packed, 99999), StreamError);
    EXPECT_THROW(Inflate(packed, 0), StreamError);
    EXPECT_EQ(Inflate(Deflate({}), 0).size(), 0u);
}
