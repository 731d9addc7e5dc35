#pragma once
// The room record of the game data as stored (versions 541, 810 and 811), every field kept
// as read so that the builder turns it into text and back into the same bytes. The runner
// builds its CRoom from this form (room.h).

#include <cstdint>
#include <string>
#include <vector>

namespace kestrin {

class CStream;

inline constexpr int32_t kRoomVersion541 = 541;
inline constexpr int32_t kRoomVersion810 = 810;
inline constexpr int32_t kRoomVersion811 = 811;
inline constexpr int32_t kRoomLayerCount = 8;
inline constexpr int32_t kRoomViewCount = 8;

// Blend colour in the low 24 bits, alpha x 255 in the high 8.
inline constexpr uint32_t kOpaqueWhite = 0xFFFFFFFFu;

struct RoomRecord {
    struct Layer {
        bool visible = false;
        bool foreground = false;
        int32_t index = -1;
        int32_t x = 0;
        int32_t y = 0;
        bool htiled = true;
        bool vtiled = true;
        int32_t hspeed = 0;
        int32_t vspeed = 0;
        bool stretch = false;
    };
    struct View {
        bool visible = false;
        int32_t xview = 0, yview = 0, wview = 640, hview = 480;
        int32_t xport = 0, yport = 0, wport = 640, hport = 480;
        int32_t hborder = 32, vborder = 32, hspeed = -1, vspeed = -1;
        int32_t object = -1;
    };
    struct Instance {
        int32_t x = 0, y = 0;
        int32_t object = 0;
        int32_t id = 0;
        std::string code;
        double xscale = 1, yscale = 1;       // from 810
        uint32_t blend_alpha = kOpaqueWhite; // from 810
        double angle = 0;                    // from 811
    };
    struct Tile {
        int32_t x = 0, y = 0;
        int32_t background = -1;
        int32_t xo = 0, yo = 0, w = 0, h = 0;
        int32_t depth = 0;
        int32_t id = 0;
        double xscale = 1, yscale = 1;       // from 810
        uint32_t blend_alpha = kOpaqueWhite; // from 810
    };

    int32_t version = kRoomVersion811;
    std::string caption;
    int32_t width = 640, height = 480, speed = 30;
    bool persistent = false;
    int32_t colour = 12632256;
    // Bit 0: fill with the colour; bit 1: do not clear the window behind the views.
    int32_t flags = 1;
    std::string code;
    std::vector<Layer> layers = std::vector<Layer>(kRoomLayerCount);
    bool enable_views = false;
    std::vector<View> views = std::vector<View>(kRoomViewCount);
    std::vector<Instance> instances;
    std::vector<Tile> tiles;

    static bool KnownVersion(int32_t version) {
        return version == kRoomVersion541 || version == kRoomVersion810 || version == kRoomVersion811;
    }
    // False for another version or layer/view counts other than 8; StreamError when cut short.
    [[nodiscard]] bool LoadFromStream(CStream& in);
    void SaveToStream(CStream& out) const;
};

} // namespace kestrin
