#pragma once
// The room record of the game data as stored (versions 541, 810 and 811), every field kept
// as read so that the builder turns it into text and back into the same bytes. The runner
// builds its CRoom from this form (room.h).

#include <cstdint>
#include <string>
#include <vector>

#include "base/record_fields.h"

namespace kestrin {

class CStream;

inline constexpr int32_t kRoomVersion541 = 541;
inline constexpr int32_t kRoomVersion810 = 810;
inline constexpr int32_t kRoomVersion811 = 811;
inline constexpr int32_t kRoomLayerCount = 8;
inline constexpr int32_t kRoomViewCount = 8;

// Blend colour in the low 24 bits, alpha x 255 in the high 8 (FieldForm::BlendAlpha).
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

    // Stored before and after the scalars of kRoomFields: the version first; then the
    // flags, the creation code, the layers, the views, the instances and the tiles.
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

// The scalar fields of each part of a room, in stored order.
inline const RecordField<RoomRecord> kRoomFields[] = {
    {"caption", &RoomRecord::caption}, {"width", &RoomRecord::width},
    {"height", &RoomRecord::height},   {"speed", &RoomRecord::speed},
    {"persistent", &RoomRecord::persistent}, {"colour", &RoomRecord::colour},
};

inline const RecordField<RoomRecord::Layer> kRoomLayerFields[] = {
    {"visible", &RoomRecord::Layer::visible}, {"foreground", &RoomRecord::Layer::foreground},
    {"background", &RoomRecord::Layer::index}, {"x", &RoomRecord::Layer::x},
    {"y", &RoomRecord::Layer::y},             {"htiled", &RoomRecord::Layer::htiled},
    {"vtiled", &RoomRecord::Layer::vtiled},   {"hspeed", &RoomRecord::Layer::hspeed},
    {"vspeed", &RoomRecord::Layer::vspeed},   {"stretch", &RoomRecord::Layer::stretch},
};

// Each also a built-in variable over the running room's views (CView holds these fields).
inline const RecordField<RoomRecord::View> kRoomViewFields[] = {
    {.key = "visible", .member = &RoomRecord::View::visible, .variable = "view_visible"},
    {.key = "xview", .member = &RoomRecord::View::xview, .variable = "view_xview"},
    {.key = "yview", .member = &RoomRecord::View::yview, .variable = "view_yview"},
    {.key = "wview", .member = &RoomRecord::View::wview, .variable = "view_wview"},
    {.key = "hview", .member = &RoomRecord::View::hview, .variable = "view_hview"},
    {.key = "xport", .member = &RoomRecord::View::xport, .variable = "view_xport"},
    {.key = "yport", .member = &RoomRecord::View::yport, .variable = "view_yport"},
    {.key = "wport", .member = &RoomRecord::View::wport, .variable = "view_wport"},
    {.key = "hport", .member = &RoomRecord::View::hport, .variable = "view_hport"},
    {.key = "hborder", .member = &RoomRecord::View::hborder, .variable = "view_hborder"},
    {.key = "vborder", .member = &RoomRecord::View::vborder, .variable = "view_vborder"},
    {.key = "hspeed", .member = &RoomRecord::View::hspeed, .variable = "view_hspeed"},
    {.key = "vspeed", .member = &RoomRecord::View::vspeed, .variable = "view_vspeed"},
    {.key = "object", .member = &RoomRecord::View::object, .variable = "view_object"},
};

inline const RecordField<RoomRecord::Instance> kRoomInstanceFields[] = {
    {.key = "x", .member = &RoomRecord::Instance::x},
    {.key = "y", .member = &RoomRecord::Instance::y},
    {.key = "object", .member = &RoomRecord::Instance::object},
    {.key = "id", .member = &RoomRecord::Instance::id, .required = "the instance's id, 100001 or more"},
    {.key = "code", .member = &RoomRecord::Instance::code},
    {.key = "xscale", .member = &RoomRecord::Instance::xscale, .since = kRoomVersion810},
    {.key = "yscale", .member = &RoomRecord::Instance::yscale, .since = kRoomVersion810},
    {.key = "blend_alpha",
     .member = &RoomRecord::Instance::blend_alpha,
     .since = kRoomVersion810,
     .form = FieldForm::BlendAlpha},
    {.key = "angle", .member = &RoomRecord::Instance::angle, .since = kRoomVersion811},
};

inline const RecordField<RoomRecord::Tile> kRoomTileFields[] = {
    {.key = "x", .member = &RoomRecord::Tile::x},
    {.key = "y", .member = &RoomRecord::Tile::y},
    {.key = "background", .member = &RoomRecord::Tile::background},
    {.key = "xo", .member = &RoomRecord::Tile::xo},
    {.key = "yo", .member = &RoomRecord::Tile::yo},
    {.key = "w", .member = &RoomRecord::Tile::w},
    {.key = "h", .member = &RoomRecord::Tile::h},
    {.key = "depth", .member = &RoomRecord::Tile::depth},
    {.key = "id", .member = &RoomRecord::Tile::id, .required = "the tile's id, 10000001 or more"},
    {.key = "xscale", .member = &RoomRecord::Tile::xscale, .since = kRoomVersion810},
    {.key = "yscale", .member = &RoomRecord::Tile::yscale, .since = kRoomVersion810},
    {.key = "blend_alpha",
     .member = &RoomRecord::Tile::blend_alpha,
     .since = kRoomVersion810,
     .form = FieldForm::BlendAlpha},
};

} // namespace kestrin
