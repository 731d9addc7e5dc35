#include "world/path_record.h"

#include "base/stream.h"

namespace kestrin {

bool PathRecord::LoadFromStream(CStream& in) {
    version = in.ReadInteger();
    if (version != kPathVersion) return false;
    if (!ReadFields<PathRecord>(in, *this, kPathFields, version)) return false;
    const int32_t count = in.ReadInteger();
    if (count < 0) return false;
    points.assign(in.CheckCount(count, kPathPointBytes), RWayPoint());
    for (RWayPoint& p : points) {
        p.x = in.ReadReal();
        p.y = in.ReadReal();
        p.speed = in.ReadReal();
    }
    return true;
}

void PathRecord::SaveToStream(CStream& out) const {
    out.WriteInteger(version);
    WriteFields<PathRecord>(out, *this, kPathFields, version);
    out.WriteInteger(static_cast<int32_t>(points.size()));
    for (const RWayPoint& p : points) {
        out.WriteReal(p.x);
        out.WriteReal(p.y);
        out.WriteReal(p.speed);
    }
}

} // namespace kestrin
