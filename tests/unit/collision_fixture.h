#pragma once
// Shared by the collision tests: the run fixture with the collision module installed, sprites
// drawn as text ('#' opaque, '.' transparent) and added to the sprite table, objects with a
// sprite, instances placed straight into the room, and built-ins called as script code.

#include <memory>
#include <string>
#include <vector>

#include "game/compose.h"
#include "graphics/sprite.h"
#include "tests/unit/run_fixture.h"
#include "tests/unit/sprite_fixture.h"
#include "world/broad_phase.h"
#include "world/collision.h"

namespace kestrin::testing {

class CollisionTest : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        Sprite_ClearAll();
        ComposeGame();
        SetBroadPhaseEnabled(true);
    }
    void TearDown() override {
        SetBroadPhaseEnabled(true);
        RunTest::TearDown();
        Sprite_ClearAll();
    }

    static int32_t AddSprite(const std::vector<std::string>& rows, int32_t xo = 0, int32_t yo = 0) {
        auto sprite = std::make_unique<CSprite>();
        // 2: keep the alpha as drawn, also when no pixel is opaque.
        sprite->CreateFromBitmap(Art(rows), 2, false, xo, yo);
        Log().clear(); // without a device the textures fail, which is traced
        return Sprite_AddNew(std::move(sprite));
    }
    static int32_t AddBlock(int32_t w, int32_t h, int32_t xo = 0, int32_t yo = 0) {
        return AddSprite(
            std::vector<std::string>(static_cast<size_t>(h), std::string(static_cast<size_t>(w), '#')), xo,
            yo);
    }

    int32_t AddSpriteObject(std::string_view name, int32_t sprite, bool solid = false,
                            const std::vector<EventCode>& events = {}, int32_t parent = -1) {
        ObjectRecord o = ObjectWith(events, parent);
        o.spriteindex = sprite;
        o.solid = solid;
        return AddObject(name, o);
    }

    // An empty room of the given size, entered.
    void EmptyRoom(int32_t width = 640, int32_t height = 480) { StartRoom({}, width, height); }

    // A new instance in the current room, without events.
    CInstance* Put(int32_t object, double x, double y) {
        return World().Current()->AddInstance(x, y, object);
    }

    // Runs code with `self`, or without one with the room's first instance.
    std::string Do(const std::string& code, CInstance* self = nullptr) {
        return Eval(code, self ? self : Nth(0));
    }
    // The real a piece of code returns.
    double Value(const std::string& code, CInstance* self = nullptr) {
        const std::string text = Do("return " + code, self);
        try {
            return std::stod(text);
        } catch (const std::exception&) {
            ADD_FAILURE() << code << " gave " << text;
            return -12345;
        }
    }
};

} // namespace kestrin::testing
