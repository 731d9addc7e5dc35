#include <gtest/gtest.h>

#include "runner/settings.h"

using namespace kestrin;

namespace {
// A block of the given version with every field at its stored default, and a progress-bar
// flag and language flags chosen by the test.
CStream Block(int32_t version, bool progress, int32_t languageFlags, bool createFirst = true) {
    CStream fields;
    for (int i = 0; i < 4; ++i) fields.WriteBoolean(i == 3);
    fields.WriteInteger(100);
    fields.WriteBoolean(false);
    fields.WriteBoolean(false);
    fields.WriteInteger(0xFFFFFF);
    fields.WriteBoolean(false);
    for (int i = 0; i < 3; ++i) fields.WriteInteger(0);
    fields.WriteBoolean(false);
    fields.WriteBoolean(false);
    for (int i = 0; i < 7; ++i) fields.WriteBoolean(true);
    fields.WriteInteger(0);
    fields.WriteBoolean(false);
    fields.WriteBoolean(progress);
    if (progress) {
        fields.WriteBoolean(false);
        fields.WriteBoolean(false);
    }
    fields.WriteBoolean(false);  // no loading image
    fields.WriteBoolean(true);   // transparent
    fields.WriteInteger(128);
    fields.WriteBoolean(true);
    fields.WriteBoolean(true);
    fields.WriteBoolean(false);
    fields.WriteBoolean(false);
    fields.WriteInteger(languageFlags);
    if (version >= 820) {
        fields.WriteInteger(5);
        fields.WriteBoolean(createFirst);
    }
    CStream block;
    block.WriteInteger(version);
    block.WriteStreamC(fields);
    block.Seek(0);
    return block;
}
} // namespace

TEST(Settings, VersionsAndOptionalFields) {
    struct Case {
        int32_t version;
        bool progress;
        int32_t flags;
        bool createFirst;
        bool uninitAsZero;
        bool checkArgs;
    };
    const Case cases[] = {
        {810, true, 2, false, false, true},   // no field 34: creation code runs first
        {810, false, 1, false, true, false},  // no bar images; flags 1: zero option on, checks off
        {820, true, 3, true, true, true},
        {820, false, 0, true, false, false},
    };
    for (const auto& c : cases) {
        CStream s = Block(c.version, c.progress, c.flags);
        CSettings settings;
        settings.scale = 7;  // reading starts from the defaults
        ASSERT_TRUE(ReadSettings(s, settings)) << c.version;
        EXPECT_TRUE(s.AtEnd());
        EXPECT_EQ(settings.scale, 100);
        EXPECT_EQ(settings.create_event_first, c.createFirst) << c.version;
        EXPECT_EQ(settings.TreatUninitialisedAsZero(), c.uninitAsZero);
        EXPECT_EQ(settings.CheckArguments(), c.checkArgs);
        EXPECT_TRUE(settings.loading_transparent);
        EXPECT_EQ(settings.loading_alpha, 128);
        EXPECT_EQ(settings.show_progress, c.progress);
    }
}

TEST(Settings, OldVersionsAreRefused) {
    CStream s;
    s.WriteInteger(799);
    s.Seek(0);
    CSettings settings;
    EXPECT_FALSE(ReadSettings(s, settings));
}

TEST(Settings, WriterMatchesReader) {
    for (int32_t version : {800, 810, 820}) {
        CSettings a;
        a.version = version;
        a.fullscreen = true;
        a.scale = 0;
        a.outside_colour = 0x123456;
        a.priority = 2;
        a.show_progress = true;
        a.bar_back = TBitmap32(2, 2, 0xFF0000FFu);
        a.bar_front = TBitmap32(1, 1, 0x80FFFFFFu);
        a.loading_image = TBitmap32(3, 1, 0xFF00FF00u);
        a.language_flags = 1;
        a.create_event_first = true;
        CStream s;
        WriteSettings(s, a);
        s.Seek(0);
        CSettings b;
        ASSERT_TRUE(ReadSettings(s, b));
        EXPECT_TRUE(s.AtEnd());
        EXPECT_TRUE(b.fullscreen);
        EXPECT_EQ(b.scale, 0);
        EXPECT_EQ(b.outside_colour, 0x123456);
        EXPECT_EQ(b.priority, 2);
        EXPECT_EQ(*b.bar_back, *a.bar_back);
        EXPECT_EQ(*b.bar_front, *a.bar_front);
        EXPECT_EQ(*b.loading_image, *a.loading_image);
        EXPECT_EQ(b.language_flags, 1);
        EXPECT_EQ(b.create_event_first, version >= 820);
    }
}

TEST(Settings, TruncatedBlockThrows) {
    CStream fields;
    fields.WriteBoolean(true);
    CStream s;
    s.WriteInteger(820);
    s.WriteStreamC(fields);
    s.Seek(0);
    CSettings settings;
    EXPECT_THROW((void)ReadSettings(s, settings), StreamError);
}
