#include "runner/room_record.h"

#include "base/stream.h"

namespace kestrin {

bool RoomRecord::LoadFromStream(CStream& in) {
    version = in.ReadInteger();
    if (!KnownVersion(version)) return false;
    if (!ReadFields<RoomRecord>(in, *this, kRoomFields, version)) return false;
    flags = in.ReadInteger();
    code = in.ReadString();
    // The runner has exactly eight of each; other counts come only from damaged data.
    if (in.ReadInteger() != kRoomLayerCount) return false;
    for (Layer& l : layers)
        if (!ReadFields<Layer>(in, l, kRoomLayerFields, version)) return false;
    enable_views = in.ReadBoolean();
    if (in.ReadInteger() != kRoomViewCount) return false;
    for (View& v : views)
        if (!ReadFields<View>(in, v, kRoomViewFields, version)) return false;
    instances.assign(in.CheckCount(in.ReadInteger(), 20), Instance());
    for (Instance& i : instances)
        if (!ReadFields<Instance>(in, i, kRoomInstanceFields, version)) return false;
    tiles.assign(in.CheckCount(in.ReadInteger(), 36), Tile());
    for (Tile& t : tiles)
        if (!ReadFields<Tile>(in, t, kRoomTileFields, version)) return false;
    return true;
}

void RoomRecord::SaveToStream(CStream& out) const {
    out.WriteInteger(version);
    WriteFields<RoomRecord>(out, *this, kRoomFields, version);
    out.WriteInteger(flags);
    out.WriteString(code);
    out.WriteInteger(kRoomLayerCount);
    for (int32_t n = 0; n < kRoomLayerCount; ++n) {
        const Layer l = n < static_cast<int32_t>(layers.size()) ? layers[static_cast<size_t>(n)] : Layer();
        WriteFields<Layer>(out, l, kRoomLayerFields, version);
    }
    out.WriteBoolean(enable_views);
    out.WriteInteger(kRoomViewCount);
    for (int32_t n = 0; n < kRoomViewCount; ++n) {
        const View v = n < static_cast<int32_t>(views.size()) ? views[static_cast<size_t>(n)] : View();
        WriteFields<View>(out, v, kRoomViewFields, version);
    }
    out.WriteInteger(static_cast<int32_t>(instances.size()));
    for (const Instance& i : instances) WriteFields<Instance>(out, i, kRoomInstanceFields, version);
    out.WriteInteger(static_cast<int32_t>(tiles.size()));
    for (const Tile& t : tiles) WriteFields<Tile>(out, t, kRoomTileFields, version);
}

} // namespace kestrin
