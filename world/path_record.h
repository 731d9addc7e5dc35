#pragma once
// The path record of the game data as stored (version 530), every field kept as read so
// that the builder turns it into text and back into the same bytes. CPath (path.h) builds
// its running form from this one and mends what it cannot use.

#include <cstdint>
#include <vector>

#include "base/record_fields.h"

namespace kestrin {

class CStream;

inline constexpr int32_t kPathVersion = 530;
// The most points a path's computed line holds (a smooth path makes up to 255 for each
// control point, so a hostile record or script could otherwise ask for hundreds of
// gigabytes): 16,777,216 points, 512 MiB. A longer line is cut there.
inline constexpr size_t kPathMaxLinePoints = size_t{1} << 24;
// Every control point takes three reals.
inline constexpr size_t kPathPointBytes = 3 * 8;

// A control point; speed is a percentage of the follower's path speed.
struct RWayPoint {
    double x = 0;
    double y = 0;
    double speed = 100;
};

struct PathRecord {
    int32_t version = kPathVersion;
    int32_t kind = 0;
    bool closed = false;
    int32_t precision = 4;
    std::vector<RWayPoint> points;

    // False for another version or a point count the stream cannot hold; StreamError when
    // cut short.
    [[nodiscard]] bool LoadFromStream(CStream& in);
    void SaveToStream(CStream& out) const;
};

inline const FieldName kPathKindNames[] = {{"straight", 0}, {"smooth", 1}};
inline const RecordField<PathRecord> kPathFields[] = {
    {.key = "kind", .member = &PathRecord::kind, .names = kPathKindNames},
    {.key = "closed", .member = &PathRecord::closed},
    {.key = "precision", .member = &PathRecord::precision},
};

} // namespace kestrin
