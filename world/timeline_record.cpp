#include "world/timeline_record.h"

#include "base/stream.h"

namespace kestrin {

bool TimeLineRecord::LoadFromStream(CStream& in) {
    version = in.ReadInteger();
    if (version != kTimeLineVersion) return false;
    const int32_t count = in.ReadInteger();
    if (count < 0) return false;
    // A moment takes at least its step and its event's version.
    moments.assign(in.CheckCount(count, 8), Moment());
    for (Moment& moment : moments) {
        moment.step = in.ReadInteger();
        if (!ReadEventRecord(in, moment.event)) return false;
    }
    return true;
}

void TimeLineRecord::SaveToStream(CStream& out) const {
    out.WriteInteger(version);
    out.WriteInteger(static_cast<int32_t>(moments.size()));
    for (const Moment& moment : moments) {
        out.WriteInteger(moment.step);
        WriteEventRecord(out, moment.event);
    }
}

} // namespace kestrin
