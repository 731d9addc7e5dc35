#include "runner/room_record.h"

#include "base/stream.h"

namespace kestrin {

bool RoomRecord::LoadFromStream(CStream& in) {
    version = in.ReadInteger();
    if (!KnownVersion(version)) return false;
    caption = in.ReadString();
    width = in.ReadInteger();
    height = in.ReadInteger();
    speed = in.ReadInteger();
    persistent = in.ReadBoolean();
    colour = in.ReadInteger();
    flags = in.ReadInteger();
    code = in.ReadString();
    // The runner has exactly eight of each; other counts come only from damaged data.
    if (in.ReadInteger() != kRoomLayerCount) return false;
    for (Layer& l : layers) {
        l.visible = in.ReadBoolean();
        l.foreground = in.ReadBoolean();
        l.index = in.ReadInteger();
        l.x = in.ReadInteger();
        l.y = in.ReadInteger();
        l.htiled = in.ReadBoolean();
        l.vtiled = in.ReadBoolean();
        l.hspeed = in.ReadInteger();
        l.vspeed = in.ReadInteger();
        l.stretch = in.ReadBoolean();
    }
    enable_views = in.ReadBoolean();
    if (in.ReadInteger() != kRoomViewCount) return false;
    for (View& v : views) {
        v.visible = in.ReadBoolean();
        v.xview = in.ReadInteger();
        v.yview = in.ReadInteger();
        v.wview = in.ReadInteger();
        v.hview = in.ReadInteger();
        v.xport = in.ReadInteger();
        v.yport = in.ReadInteger();
        v.wport = in.ReadInteger();
        v.hport = in.ReadInteger();
        v.hborder = in.ReadInteger();
        v.vborder = in.ReadInteger();
        v.hspeed = in.ReadInteger();
        v.vspeed = in.ReadInteger();
        v.object = in.ReadInteger();
    }
    instances.assign(in.CheckCount(in.ReadInteger(), 20), Instance());
    for (Instance& i : instances) {
        i.x = in.ReadInteger();
        i.y = in.ReadInteger();
        i.object = in.ReadInteger();
        i.id = in.ReadInteger();
        i.code = in.ReadString();
        if (version >= kRoomVersion810) {
            i.xscale = in.ReadReal();
            i.yscale = in.ReadReal();
            i.blend_alpha = in.ReadWord();
        }
        if (version >= kRoomVersion811) i.angle = in.ReadReal();
    }
    tiles.assign(in.CheckCount(in.ReadInteger(), 36), Tile());
    for (Tile& t : tiles) {
        t.x = in.ReadInteger();
        t.y = in.ReadInteger();
        t.background = in.ReadInteger();
        t.xo = in.ReadInteger();
        t.yo = in.ReadInteger();
        t.w = in.ReadInteger();
        t.h = in.ReadInteger();
        t.depth = in.ReadInteger();
        t.id = in.ReadInteger();
        if (version >= kRoomVersion810) {
            t.xscale = in.ReadReal();
            t.yscale = in.ReadReal();
            t.blend_alpha = in.ReadWord();
        }
    }
    return true;
}

void RoomRecord::SaveToStream(CStream& out) const {
    out.WriteInteger(version);
    out.WriteString(caption);
    out.WriteInteger(width);
    out.WriteInteger(height);
    out.WriteInteger(speed);
    out.WriteBoolean(persistent);
    out.WriteInteger(colour);
    out.WriteInteger(flags);
    out.WriteString(code);
    out.WriteInteger(kRoomLayerCount);
    for (int32_t n = 0; n < kRoomLayerCount; ++n) {
        const Layer l = n < static_cast<int32_t>(layers.size()) ? layers[static_cast<size_t>(n)] : Layer();
        out.WriteBoolean(l.visible);
        out.WriteBoolean(l.foreground);
        out.WriteInteger(l.index);
        out.WriteInteger(l.x);
        out.WriteInteger(l.y);
        out.WriteBoolean(l.htiled);
        out.WriteBoolean(l.vtiled);
        out.WriteInteger(l.hspeed);
        out.WriteInteger(l.vspeed);
        out.WriteBoolean(l.stretch);
    }
    out.WriteBoolean(enable_views);
    out.WriteInteger(kRoomViewCount);
    for (int32_t n = 0; n < kRoomViewCount; ++n) {
        const View v = n < static_cast<int32_t>(views.size()) ? views[static_cast<size_t>(n)] : View();
        out.WriteBoolean(v.visible);
        for (int32_t value : {v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport,
                              v.hborder, v.vborder, v.hspeed, v.vspeed, v.object})
            out.WriteInteger(value);
    }
    out.WriteInteger(static_cast<int32_t>(instances.size()));
    for (const Instance& i : instances) {
        out.WriteInteger(i.x);
        out.WriteInteger(i.y);
        out.WriteInteger(i.object);
        out.WriteInteger(i.id);
        out.WriteString(i.code);
        if (version >= kRoomVersion810) {
            out.WriteReal(i.xscale);
            out.WriteReal(i.yscale);
            out.WriteWord(i.blend_alpha);
        }
        if (version >= kRoomVersion811) out.WriteReal(i.angle);
    }
    out.WriteInteger(static_cast<int32_t>(tiles.size()));
    for (const Tile& t : tiles) {
        for (int32_t value : {t.x, t.y, t.background, t.xo, t.yo, t.w, t.h, t.depth, t.id})
            out.WriteInteger(value);
        if (version >= kRoomVersion810) {
            out.WriteReal(t.xscale);
            out.WriteReal(t.yscale);
            out.WriteWord(t.blend_alpha);
        }
    }
}

} // namespace kestrin
