#include "world/broad_phase.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "runner/instance.h"
#include "runner/room.h"

namespace kestrin {

namespace {

// Boxes spanning more cells than this live in one list that every query walks, so a huge
// scaled sprite costs one entry instead of thousands.
constexpr int64_t kMaxCellsPerEntry = 16;
// The grid never holds more cells than this, whatever the room's size.
constexpr int64_t kMaxCells = int64_t{1} << 18;
constexpr int kMinShift = 3, kMaxShift = 16;

enum class Where : uint8_t { None, Grid, Big, Far };

struct Entry {
    CInstance* instance = nullptr;
    RBox box;
    int32_t c0 = 0, r0 = 0, c1 = -1, r1 = -1; // cells, inclusive, when in the grid
    Where where = Where::None;
    bool dirty = false;
    uint32_t stamp = 0;
    uint32_t room_rank = 0;
};

bool Meets(const RBox& b, const QueryRegion& q) {
    return q.everything || (b.right >= q.left && b.left <= q.right && b.bottom >= q.top && b.top <= q.bottom);
}

class Index {
public:
    // Boxes changed while nobody listened leave the entries stale: the first query after the
    // listener is put in place starts afresh.
    void Listen() {
        if (listening_) return;
        SetBoxChangeListener(OnBoxChangedThunk);
        listening_ = true;
        room_ = nullptr;
    }

    void Query(const CRoom& room, const QueryRegion& q, CandidateOrder order, std::vector<CInstance*>& out) {
        Listen();
        Sync(room);
        ++stats_.queries;
        out.clear();
        found_.clear();
        if (++stamp_ == 0) {
            for (Entry& e : entries_) e.stamp = 0;
            stamp_ = 1;
        }
        auto consider = [&](int32_t slot) {
            Entry& e = entries_[static_cast<size_t>(slot)];
            if (e.stamp == stamp_) return;
            e.stamp = stamp_;
            if (Meets(e.box, q)) found_.push_back(slot);
        };
        const int64_t c0 = Column(q.left), c1 = Column(q.right), r0 = Row(q.top), r1 = Row(q.bottom);
        const int64_t cellCount = q.everything ? INT64_MAX : (c1 - c0 + 1) * (r1 - r0 + 1);
        if (q.everything || cellCount > static_cast<int64_t>(entries_.size())) {
            for (size_t slot = 0; slot < entries_.size(); ++slot) consider(static_cast<int32_t>(slot));
        } else {
            for (int64_t r = r0; r <= r1; ++r)
                for (int64_t c = c0; c <= c1; ++c)
                    for (int32_t slot : cells_[static_cast<size_t>(r * nx_ + c)]) consider(slot);
            for (int32_t slot : big_) consider(slot);
            if (!Inside(q))
                for (int32_t slot : far_) consider(slot);
        }
        if (order == CandidateOrder::Room) {
            std::sort(found_.begin(), found_.end(), [&](int32_t a, int32_t b) {
                return entries_[static_cast<size_t>(a)].room_rank <
                       entries_[static_cast<size_t>(b)].room_rank;
            });
        }
        out.reserve(found_.size());
        for (int32_t slot : found_) out.push_back(entries_[static_cast<size_t>(slot)].instance);
        if (order == CandidateOrder::Lists)
            std::sort(out.begin(), out.end(),
                      [](const CInstance* a, const CInstance* b) { return a->i_listorder < b->i_listorder; });
    }

    void BoxChanged(CInstance& instance) {
        if (!room_ || rebuilt_ != ListChanges().rebuilt || reordered_ != ListChanges().reordered) return;
        const int32_t slot = instance.i_broadslot;
        if (slot < 0 || static_cast<size_t>(slot) >= entries_.size()) return;
        Entry& e = entries_[static_cast<size_t>(slot)];
        if (e.instance != &instance || e.dirty) return;
        e.dirty = true;
        dirty_.push_back(slot);
    }

    BroadPhaseStats Stats() const {
        BroadPhaseStats s = stats_;
        s.cell_size = int64_t{1} << shift_;
        return s;
    }

private:
    void Sync(const CRoom& room) {
        const RoomListChanges& changes = ListChanges();
        if (&room != room_ || changes.rebuilt != rebuilt_ || changes.reordered != reordered_ ||
            room.r_instance.size() < entries_.size()) {
            Rebuild(room);
            return;
        }
        // Instances appended since: the active list only grows at its end between rebuilds.
        for (size_t n = entries_.size(); n < room.r_instance.size(); ++n) Add(room.r_instance[n].get());
        for (int32_t slot : dirty_) {
            Entry& e = entries_[static_cast<size_t>(slot)];
            e.dirty = false;
            Place(slot);
        }
        dirty_.clear();
    }

    void Rebuild(const CRoom& room) {
        ++stats_.rebuilds;
        room_ = &room;
        rebuilt_ = ListChanges().rebuilt;
        reordered_ = ListChanges().reordered;
        entries_.clear();
        dirty_.clear();
        big_.clear();
        far_.clear();

        // Cells about as large as the typical box, so that most boxes touch one to four.
        const int64_t width = std::clamp<int64_t>(room.r_width, 1, int64_t{1} << 24);
        const int64_t height = std::clamp<int64_t>(room.r_height, 1, int64_t{1} << 24);
        int64_t sum = 0, counted = 0;
        for (const auto& instance : room.r_instance) {
            const RBox& b = instance->i_bbox;
            if (b.right < -width || b.left > 2 * width || b.bottom < -height || b.top > 2 * height) continue;
            sum += std::min<int64_t>(int64_t{b.right} - b.left + 1, width) +
                   std::min<int64_t>(int64_t{b.bottom} - b.top + 1, height);
            ++counted;
        }
        const int64_t typical = counted ? std::max<int64_t>(1, sum / (2 * counted)) : 32;
        shift_ = std::clamp(static_cast<int>(std::bit_width(static_cast<uint64_t>(typical))), kMinShift,
                            kMaxShift);
        for (;;) {
            const int64_t cell = int64_t{1} << shift_;
            x0_ = -2 * cell;
            y0_ = -2 * cell;
            nx_ = (width + 4 * cell + cell - 1) >> shift_;
            ny_ = (height + 4 * cell + cell - 1) >> shift_;
            if (nx_ * ny_ <= kMaxCells || shift_ >= 30) break;
            ++shift_;
        }
        cells_.assign(static_cast<size_t>(nx_ * ny_), {});
        entries_.reserve(room.r_instance.size());
        for (const auto& instance : room.r_instance) Add(instance.get());
    }

    void Add(CInstance* instance) {
        const auto slot = static_cast<int32_t>(entries_.size());
        Entry& e = entries_.emplace_back();
        e.instance = instance;
        e.room_rank = static_cast<uint32_t>(slot);
        instance->i_broadslot = slot;
        Place(slot);
    }

    // Moves an entry to where its instance's box now is.
    void Place(int32_t slot) {
        Entry& e = entries_[static_cast<size_t>(slot)];
        const RBox& b = e.instance->i_bbox;
        Where where;
        int64_t c0 = 0, c1 = -1, r0 = 0, r1 = -1;
        if (b.right < x0_ || b.left >= x0_ + (nx_ << shift_) || b.bottom < y0_ ||
            b.top >= y0_ + (ny_ << shift_)) {
            where = Where::Far;
        } else {
            c0 = Column(b.left);
            c1 = Column(b.right);
            r0 = Row(b.top);
            r1 = Row(b.bottom);
            where = (c1 - c0 + 1) * (r1 - r0 + 1) > kMaxCellsPerEntry ? Where::Big : Where::Grid;
        }
        const bool same = where == e.where &&
                          (where != Where::Grid || (c0 == e.c0 && c1 == e.c1 && r0 == e.r0 && r1 == e.r1));
        e.box = b;
        if (same) return;
        Remove(slot);
        e.where = where;
        if (where == Where::Far) {
            far_.push_back(slot);
        } else if (where == Where::Big) {
            big_.push_back(slot);
        } else {
            e.c0 = static_cast<int32_t>(c0);
            e.c1 = static_cast<int32_t>(c1);
            e.r0 = static_cast<int32_t>(r0);
            e.r1 = static_cast<int32_t>(r1);
            for (int64_t r = r0; r <= r1; ++r)
                for (int64_t c = c0; c <= c1; ++c) cells_[static_cast<size_t>(r * nx_ + c)].push_back(slot);
        }
    }

    void Remove(int32_t slot) {
        Entry& e = entries_[static_cast<size_t>(slot)];
        auto drop = [slot](std::vector<int32_t>& list) {
            const auto it = std::find(list.begin(), list.end(), slot);
            if (it == list.end()) return;
            *it = list.back();
            list.pop_back();
        };
        if (e.where == Where::Far) {
            drop(far_);
        } else if (e.where == Where::Big) {
            drop(big_);
        } else if (e.where == Where::Grid) {
            for (int64_t r = e.r0; r <= e.r1; ++r)
                for (int64_t c = e.c0; c <= e.c1; ++c) drop(cells_[static_cast<size_t>(r * nx_ + c)]);
        }
    }

    int64_t Column(int64_t x) const { return std::clamp<int64_t>((x - x0_) >> shift_, 0, nx_ - 1); }
    int64_t Row(int64_t y) const { return std::clamp<int64_t>((y - y0_) >> shift_, 0, ny_ - 1); }
    bool Inside(const QueryRegion& q) const {
        return q.left >= x0_ && q.right < x0_ + (nx_ << shift_) && q.top >= y0_ &&
               q.bottom < y0_ + (ny_ << shift_);
    }

    static void OnBoxChangedThunk(CInstance& instance);

    bool listening_ = false;
    const CRoom* room_ = nullptr;
    uint64_t rebuilt_ = 0, reordered_ = 0;
    std::vector<Entry> entries_;
    std::vector<std::vector<int32_t>> cells_;
    std::vector<int32_t> big_, far_, dirty_, found_;
    int shift_ = 5;
    int64_t x0_ = 0, y0_ = 0, nx_ = 1, ny_ = 1;
    uint32_t stamp_ = 0;
    BroadPhaseStats stats_;
};

Index& TheIndex() {
    static Index index;
    return index;
}

bool& Enabled() {
    static bool enabled = true;
    return enabled;
}

void Index::OnBoxChangedThunk(CInstance& instance) {
    TheIndex().BoxChanged(instance);
}

int64_t FloorClamped(double v) {
    constexpr double kLimit = 4e18;
    if (v <= -kLimit) return -(int64_t{1} << 62);
    if (v >= kLimit) return int64_t{1} << 62;
    return static_cast<int64_t>(std::floor(v));
}

} // namespace

void SetBroadPhaseEnabled(bool enabled) {
    Enabled() = enabled;
}

bool BroadPhaseEnabled() {
    return Enabled();
}

void InstallBroadPhase() {
    TheIndex().Listen();
}

QueryRegion RegionOf(double x1, double y1, double x2, double y2) {
    QueryRegion q;
    if (std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2)) {
        q.everything = true;
        return q;
    }
    q.left = FloorClamped(std::min(x1, x2));
    q.right = FloorClamped(std::max(x1, x2));
    q.top = FloorClamped(std::min(y1, y2));
    q.bottom = FloorClamped(std::max(y1, y2));
    return q;
}

void BroadPhaseQuery(const CRoom& room, const QueryRegion& region, CandidateOrder order,
                     std::vector<CInstance*>& out) {
    TheIndex().Query(room, region, order, out);
}

BroadPhaseStats CurrentBroadPhaseStats() {
    return TheIndex().Stats();
}

} // namespace kestrin
