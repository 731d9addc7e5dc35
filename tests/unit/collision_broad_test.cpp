// The box index against the plain walk over the room: on random scenes (sizes, origins,
// scales, rotations, holes, instances without sprites, destroyed and deactivated ones) every
// search answers the same, and collision events run in the same order with the same effects;
// contact moves that skip free steps end where the moves probing each step end.

#include <bit>
#include <cmath>
#include <random>
#include <sstream>

#include "script/registry.h"
#include "tests/unit/collision_fixture.h"
#include "world/function_interaction.h"

namespace kestrin::testing {
namespace {

class BroadPhase : public CollisionTest {
protected:
    // Objects 0..3: a parent, its child, a solid one and one without sprite; collision events
    // between the parent and the child, the parent and itself, and the child and the solid.
    // The events log, move, destroy and create, so that later pairs see a changed room.
    void BuildScene(uint32_t seed, int instances, bool events) {
        std::mt19937 rng(seed);
        auto below = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
        World().Clear();
        Objects().Clear();
        Sprite_ClearAll();
        LastIds() = WorldIds();
        Log().clear();
        std::vector<int32_t> sprites;
        for (int s = 0; s < 5; ++s) {
            const int w = 1 + below(24), h = 1 + below(24);
            std::vector<std::string> rows(static_cast<size_t>(h), std::string(static_cast<size_t>(w), '#'));
            for (auto& row : rows)
                for (char& c : row)
                    if (below(10) < 3) c = '.';
            sprites.push_back(AddSprite(rows, below(w + 4) - 2, below(h + 4) - 2));
        }
        const std::string react =
            "show_debug_message(string(id) + \">\" + string(other.id)); x += id mod 5 - 2; "
            "if (id mod 17 == 0) instance_destroy(); "
            "if (id mod 23 == 0) instance_create(x + 3, y, object_index); "
            "if (id mod 29 == 0) instance_change(1, false); "
            "if (id mod 31 == 0) instance_deactivate_object(other.id);";
        std::vector<EventCode> parentEvents, childEvents;
        if (events) {
            parentEvents = {{ev_collision, 0, react}, {ev_collision, 1, react}};
            childEvents = {{ev_collision, 2, react}};
        }
        parent_ = AddSpriteObject("parent", sprites[0], false, parentEvents);
        child_ = AddSpriteObject("child", sprites[1], false, childEvents, parent_);
        solid_ = AddSpriteObject("solid", sprites[2], true);
        bare_ = AddSpriteObject("bare", -1);
        std::vector<Placed> placed;
        for (int i = 0; i < instances; ++i) placed.push_back({below(4), below(460) - 30, below(360) - 30});
        StartRoom(placed, 400, 300);
        const double scales[] = {1, 1, 1, 2, 0.5, -1, -1.5, 0};
        const double angles[] = {0, 0, 0, 30, 90, 200, -45};
        CRoom* room = World().Current();
        for (const auto& instance : room->r_instance) {
            instance->SetImageScaleX(scales[below(8)]);
            instance->SetImageScaleY(scales[below(8)]);
            instance->SetImageAngle(angles[below(7)]);
            instance->i_imageindex = below(3);
            if (below(6) == 0) instance->SetMaskIndex(sprites[static_cast<size_t>(below(5))]);
            if (below(8) == 0) instance->SetSpriteIndex(sprites[static_cast<size_t>(below(5))]);
            instance->SetHspeed(below(9) - 4);
            instance->SetVspeed(below(9) - 4);
            if (below(15) == 0) instance->i_marked = true;
            if (below(15) == 0) instance->i_deactivated = true;
        }
        room->UpdateActive();
        // Depth order for drawing moves instances in the active list, not in the per-object lists.
        for (const auto& instance : room->r_instance) instance->i_depth = below(3);
        room->SortInstances();
    }

    double Call(const char* name, CInstance* self, std::vector<double> args) {
        const RFunction* f = FunctionAt(FindFunction(name));
        EXPECT_NE(f, nullptr) << name;
        RValue values[kMaxArguments];
        for (size_t i = 0; i < args.size(); ++i) values[i].SetReal(args[i]);
        RValue result;
        if (f) f->f_routine(self, self, static_cast<int32_t>(args.size()), values, result);
        return result.val();
    }

    // The answers of many searches from every instance of the scene.
    std::string Answers(uint32_t seed) {
        std::mt19937 rng(seed * 7 + 1);
        auto real = [&](int lo, int hi) {
            return lo + static_cast<double>(rng() % 1000) / 1000.0 * (hi - lo);
        };
        std::ostringstream out;
        CRoom* room = World().Current();
        const double designators[] = {
            -3,
            0,
            1,
            2,
            3,
            7,
            room->r_instance.empty() ? -4.0 : static_cast<double>(room->r_instance[0]->i_id)};
        for (const auto& instance : room->r_instance) {
            CInstance* self = instance.get();
            for (double obj : designators) {
                const double x = real(-40, 440), y = real(-40, 340), x2 = real(-40, 440), y2 = real(-40, 340);
                const double prec = static_cast<double>(rng() % 2), notme = static_cast<double>(rng() % 2);
                out << Call("instance_place", self, {x, y, obj}) << ' '
                    << Call("place_meeting", self, {x, y, obj}) << ' ' << Call("place_free", self, {x, y})
                    << ' ' << Call("place_empty", self, {x, y}) << ' '
                    << Call("instance_position", self, {x, y, obj}) << ' '
                    << Call("collision_point", self, {x, y, obj, prec, notme}) << ' '
                    << Call("collision_rectangle", self, {x, y, x2, y2, obj, prec, notme}) << ' '
                    << Call("collision_ellipse", self, {x, y, x2, y2, obj, prec, notme}) << ' '
                    << Call("collision_circle", self, {x, y, real(0, 40), obj, prec, notme}) << ' '
                    << Call("collision_line", self, {x, y, x2, y2, obj, prec, notme}) << '\n';
            }
        }
        return out.str();
    }

    std::string Run(uint32_t seed, bool broad, int instances, int steps) {
        SetBroadPhaseEnabled(broad);
        BuildScene(seed, instances, steps > 0);
        std::string answers = Answers(seed);
        for (int s = 0; s < steps; ++s) Loop().Step();
        std::ostringstream state;
        for (const auto& instance : World().Current()->r_instance)
            state << instance->i_id << '@' << instance->i_x << ',' << instance->i_y
                  << (instance->i_marked ? "m" : "") << ' ';
        return answers + Joined() + "\n" + state.str();
    }

    int32_t parent_ = -1, child_ = -1, solid_ = -1, bare_ = -1;
};

TEST_F(BroadPhase, SearchesAnswerAsThePlainWalk) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        const std::string plain = Run(seed, false, 60 + static_cast<int>(seed) * 10, 0);
        const std::string broad = Run(seed, true, 60 + static_cast<int>(seed) * 10, 0);
        EXPECT_EQ(plain, broad);
    }
}

TEST_F(BroadPhase, CollisionEventsRunInThePlainWalksOrder) {
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE(seed);
        loop_.reset();
        const std::string plain = Run(seed, false, 150, 6);
        loop_.reset();
        const std::string broad = Run(seed, true, 150, 6);
        EXPECT_NE(plain.find('>'), std::string::npos) << "the scene has collisions";
        EXPECT_EQ(plain, broad);
    }
}

TEST_F(BroadPhase, FollowsMovesCreationsAndRebuilds) {
    const int32_t block = AddBlock(8, 8);
    const int32_t object = AddSpriteObject("o", block);
    EmptyRoom(10000, 10000);
    CInstance* me = Put(object, 5000, 5000);
    CInstance* far = Put(object, 9000, 9000);
    EXPECT_EQ(InstancePlace(*me, 9000, 9000, kAllSelector), far->i_id);
    far->SetPosition(-50000, 100); // far outside the grid
    EXPECT_EQ(InstancePlace(*me, 9000, 9000, kAllSelector), kNooneSelector);
    EXPECT_EQ(InstancePlace(*me, -50000, 100, kAllSelector), far->i_id);
    far->SetImageScaleX(10000); // a box over many cells: -50000..29999
    EXPECT_EQ(InstancePlace(*me, 1000, 100, kAllSelector), far->i_id);
    CInstance* added = Put(object, 100, 100);
    EXPECT_EQ(InstancePlace(*me, 100, 100, kAllSelector), far->i_id) << "the earlier instance in room order";
    EXPECT_EQ(InstancePlace(*me, 100, 100, object), far->i_id);
    far->SetImageScaleX(1);
    EXPECT_EQ(InstancePlace(*me, 100, 100, kAllSelector), added->i_id);
    World().Current()->RemoveMarked();
    added->i_deactivated = true;
    World().Current()->UpdateActive();
    EXPECT_EQ(InstancePlace(*me, 100, 100, kAllSelector), kNooneSelector);
    EXPECT_GT(CurrentBroadPhaseStats().rebuilds, 0u);
}

// The skipping contact move against the one that probes every step: on the random scenes
// (holes in the masks, scales, rotations, solids, instances without sprites, destroyed ones),
// from every instance, in every sort of direction and distance, both end on the same bits.
TEST_F(BroadPhase, ContactMovesEndWhereTheStepByStepProbesEnd) {
    const double directions[] = {0, 90, 180, 270, 45, 1e-9, 359.99, -30, 135};
    const double distances[] = {0, -1, 1, 2, 3, 17, 64, 250, 3000, 1e6, 1e15};
    auto same = [](double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); };
    auto sameBox = [](const RBox& a, const RBox& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    uint64_t probing = 0, skipping = 0;
    int moves = 0, far = 0;
    for (uint32_t seed = 1; seed <= 24; ++seed) {
        for (const bool broad : {true, false}) {
            SetBroadPhaseEnabled(broad);
            BuildScene(seed, 2 + static_cast<int>(seed % 6) * 7, false);
            std::mt19937 rng(seed * 13 + (broad ? 1 : 0));
            for (const auto& instance : World().Current()->r_instance) {
                CInstance& me = *instance;
                for (int t = 0; t < 2; ++t) {
                    const double dir =
                        rng() % 3 == 0 ? directions[rng() % std::size(directions)] : double(rng() % 72000) / 100.0 - 180;
                    const double dist = distances[rng() % std::size(distances)];
                    const bool solidOnly = rng() % 2 == 0;
                    const double x0 = me.i_x, y0 = me.i_y;
                    const uint64_t q0 = CurrentBroadPhaseStats().queries;
                    MoveContactByProbes(me, dir, dist, solidOnly);
                    const uint64_t q1 = CurrentBroadPhaseStats().queries;
                    const double x = me.i_x, y = me.i_y;
                    const RBox box = me.i_bbox;
                    me.SetPosition(x0, y0);
                    MoveContact(me, dir, dist, solidOnly);
                    if (broad) {
                        probing += q1 - q0;
                        skipping += CurrentBroadPhaseStats().queries - q1;
                    }
                    ++moves;
                    if (std::fabs(x - x0) + std::fabs(y - y0) > 20) ++far;
                    EXPECT_TRUE(same(me.i_x, x) && same(me.i_y, y) && sameBox(me.i_bbox, box))
                        << "seed " << seed << " instance " << me.i_id << " from " << x0 << "," << y0 << " dir "
                        << dir << " dist " << dist << (solidOnly ? " solid" : " all") << ": " << me.i_x << ","
                        << me.i_y << " instead of " << x << "," << y;
                    me.SetPosition(x0, y0);
                }
            }
        }
    }
    EXPECT_GT(far, moves / 4) << "the scenes leave room to travel";
    EXPECT_LT(skipping * 4, probing) << "the skipping move asks far fewer questions";
}

} // namespace
} // namespace kestrin::testing
