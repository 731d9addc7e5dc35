#pragma once
// An index over the boxes of the running room's active instances: a uniform grid of cells
// that each list the instances whose box touches them, kept current as boxes change (the
// instances tell it) and rebuilt when the room's lists are. A query answers exactly the
// instances whose box meets a region, in room order or in the per-object lists' order, so
// searches that walk the answer in that order find what a walk over the whole room finds.

#include <cstdint>
#include <vector>

namespace kestrin {

class CInstance;
class CRoom;

// Off, searches walk the room's lists (the reference the index is tested against).
void SetBroadPhaseEnabled(bool enabled);
bool BroadPhaseEnabled();
// Starts listening to box changes.
void InstallBroadPhase();

// An inclusive region of room pixels; `everything` stands for a region whose bounds are not
// numbers, which every box meets on that side, as the shape tests' comparisons have it.
struct QueryRegion {
    int64_t left = 0, top = 0, right = -1, bottom = -1;
    bool everything = false;
};
// The region whose pixels a box must touch to meet the real rectangle x1..x2 by y1..y2 (a box
// covers Left..Right+1 by Top..Bottom+1).
QueryRegion RegionOf(double x1, double y1, double x2, double y2);

enum class CandidateOrder : uint8_t {
    Room,  // the active list's order
    Lists, // the order of the per-object lists
    None,  // any order
};

// The instances of `room` (its active list, marked ones included) whose box meets the region.
void BroadPhaseQuery(const CRoom& room, const QueryRegion& region, CandidateOrder order,
                     std::vector<CInstance*>& out);

// Cells, entries and rebuilds since the start, for tests and benchmarks.
struct BroadPhaseStats {
    uint64_t rebuilds = 0;
    uint64_t queries = 0;
    int64_t cell_size = 0;
};
BroadPhaseStats CurrentBroadPhaseStats();

} // namespace kestrin
