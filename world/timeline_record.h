#pragma once
// The time-line record of the game data as stored (version 500): moments, each a step and an
// event, kept as read so that the builder turns a record into text and back into the same
// bytes. CTimeLine (timeline.h) builds its running form from this one.

#include <cstdint>
#include <vector>

#include "runner/object_record.h"

namespace kestrin {

class CStream;

inline constexpr int32_t kTimeLineVersion = 500;

struct TimeLineRecord {
    struct Moment {
        int32_t step = 0;
        EventRecord event;
    };
    int32_t version = kTimeLineVersion;
    std::vector<Moment> moments;

    // False for another version, a moment count the stream cannot hold or a bad action;
    // StreamError when cut short.
    [[nodiscard]] bool LoadFromStream(CStream& in);
    void SaveToStream(CStream& out) const;
};

} // namespace kestrin
