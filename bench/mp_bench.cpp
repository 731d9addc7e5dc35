// Grid planning on a 256 x 256 grid with 30% of its cells forbidden at random (fixed seed):
// searches between the same random pairs of free cells through the mp_grid_path built-in
// (route into a path resource) and through CGrid::FindPath, next to a plain breadth-first
// search written here over a copy of the same cells (its own distance array cleared for
// every search, a parent array, the route traced back into a list of points), with and
// without diagonals, measured in this run (best of three, processor time).

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "bench/bench_world.h"
#include "game/compose.h"
#include "script/registry.h"
#include "script/value.h"
#include "world/mp_grid.h"
#include "world/path.h"

using namespace kestrin;
using namespace kestrin::bench;

namespace {

constexpr int32_t kSide = 256;
constexpr int32_t kCell = 16;
constexpr int32_t kSearches = 200;
constexpr int kRepeats = 3;

struct Query {
    int32_t xs, ys, xg, yg;
};

// The same rules as the grid's search (neighbour order, diagonals that cut no corner and
// whose side cells were not reached), written the plain way.
class PlainSearch {
public:
    explicit PlainSearch(std::vector<uint8_t> blocked) : blocked_(std::move(blocked)) {
        dist_.resize(blocked_.size());
        parent_.resize(blocked_.size());
        queue_.resize(blocked_.size());
    }

    bool Find(const Query& q, bool diag, std::vector<std::pair<double, double>>& points) {
        const int32_t s = Index(q.xs, q.ys), g = Index(q.xg, q.yg);
        points.clear();
        if (blocked_[size_t(s)] || blocked_[size_t(g)]) return false;
        std::fill(dist_.begin(), dist_.end(), -1);
        size_t head = 0, tail = 0;
        dist_[size_t(s)] = 0;
        queue_[tail++] = s;
        bool found = false;
        while (head < tail) {
            const int32_t k = queue_[head++];
            if (k == g) {
                found = true;
                break;
            }
            const int32_t i = k / kSide, j = k % kSide;
            const auto open = [&](int32_t a, int32_t b) {
                return a >= 0 && a < kSide && b >= 0 && b < kSide && !blocked_[size_t(a * kSide + b)] &&
                       dist_[size_t(a * kSide + b)] < 0;
            };
            const bool l = open(i - 1, j), r = open(i + 1, j), u = open(i, j - 1), d = open(i, j + 1);
            const bool ld = open(i - 1, j + 1), lu = open(i - 1, j - 1), rd = open(i + 1, j + 1),
                       ru = open(i + 1, j - 1);
            const auto visit = [&](int32_t n) {
                dist_[size_t(n)] = dist_[size_t(k)] + 1;
                parent_[size_t(n)] = k;
                queue_[tail++] = n;
            };
            if (l) visit(k - kSide);
            if (r) visit(k + kSide);
            if (u) visit(k - 1);
            if (d) visit(k + 1);
            if (diag) {
                if (ld && l && d) visit(k - kSide + 1);
                if (lu && l && u) visit(k - kSide - 1);
                if (rd && r && d) visit(k + kSide + 1);
                if (ru && r && u) visit(k + kSide - 1);
            }
        }
        if (!found) return false;
        points.emplace_back(q.xg, q.yg);
        for (int32_t k = parent_[size_t(g)]; k != s && g != s; k = parent_[size_t(k)])
            points.emplace_back((k / kSide) * kCell + kCell / 2, (k % kSide) * kCell + kCell / 2);
        points.emplace_back(q.xs, q.ys);
        std::reverse(points.begin(), points.end());
        return true;
    }

private:
    static int32_t Index(int32_t x, int32_t y) { return (x / kCell) * kSide + y / kCell; }

    std::vector<uint8_t> blocked_;
    std::vector<int32_t> dist_, parent_, queue_;
};

template <typename Search> double Best(Search&& search) {
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        const double start = CpuMilliseconds();
        search();
        best = std::min(best, CpuMilliseconds() - start);
    }
    return best;
}

} // namespace

int main() {
    ComposeGame();
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int32_t> percent(0, 99), cell(0, kSide - 1);

    const int32_t id = Grid_Create(0, 0, kSide, kSide, kCell, kCell);
    CGrid& grid = *Grid_Get(id);
    std::vector<uint8_t> blocked(size_t(kSide * kSide));
    for (int32_t i = 0; i < kSide; ++i)
        for (int32_t j = 0; j < kSide; ++j)
            if (percent(random) < 30) {
                grid.AddCell(i, j);
                blocked[size_t(i * kSide + j)] = 1;
            }
    std::vector<Query> queries;
    while (int32_t(queries.size()) < kSearches) {
        const int32_t a = cell(random), b = cell(random), c = cell(random), d = cell(random);
        if (blocked[size_t(a * kSide + b)] || blocked[size_t(c * kSide + d)]) continue;
        queries.push_back({a * kCell + 3, b * kCell + 5, c * kCell + 7, d * kCell + 11});
    }

    const int32_t pathIndex = Path_AddNew(std::make_unique<CPath>());
    CPath& path = *Path_Get(pathIndex);
    const BuiltinRoutine builtin = FunctionRoutine(FindFunction("mp_grid_path"));
    PlainSearch plain(blocked);
    std::vector<std::pair<double, double>> points;

    std::printf("grid planning on %dx%d cells, 30%% forbidden, %d searches (ratio = ours / plain BFS)\n",
                kSide, kSide, kSearches);
    for (const bool diag : {false, true}) {
        long ourPoints = 0, plainPoints = 0, found = 0, mismatches = 0;
        for (const Query& q : queries) {
            const bool a = grid.FindPath(path, q.xs, q.ys, q.xg, q.yg, diag);
            const bool b = plain.Find(q, diag, points);
            found += a;
            if (a) ourPoints += path.Count();
            if (b) plainPoints += long(points.size());
            if (a != b || (a && size_t(path.Count()) != points.size())) ++mismatches;
        }
        std::array<RValue, kMaxArguments> args;
        const double viaBuiltin = Best([&] {
            for (const Query& q : queries) {
                args[0] = RValue(double(id));
                args[1] = RValue(double(pathIndex));
                args[2] = RValue(double(q.xs));
                args[3] = RValue(double(q.ys));
                args[4] = RValue(double(q.xg));
                args[5] = RValue(double(q.yg));
                args[6] = RValue(diag ? 1.0 : 0.0);
                RValue result;
                builtin(nullptr, nullptr, 7, args.data(), result);
            }
        });
        const double viaGrid = Best([&] {
            for (const Query& q : queries) (void)grid.FindPath(path, q.xs, q.ys, q.xg, q.yg, diag);
        });
        const double viaPlain = Best([&] {
            for (const Query& q : queries) (void)plain.Find(q, diag, points);
        });
        const double per = 1000.0 / kSearches;
        std::printf("  %-13s found %ld/%d, route points %ld (plain %ld), mismatches %ld\n",
                    diag ? "diagonals" : "no diagonals", found, kSearches, ourPoints, plainPoints,
                    mismatches);
        std::printf(
            "    mp_grid_path %8.1f us   FindPath %8.1f us   plain BFS %8.1f us   ratio %5.2f (built-in "
            "%5.2f)\n",
            viaBuiltin * per, viaGrid * per, viaPlain * per, viaGrid / viaPlain, viaBuiltin / viaPlain);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("grid cells %zu KiB; peak resident memory: %ld KiB\n",
                grid.Cells().capacity() * sizeof(int32_t) / 1024, usage.ru_maxrss);
    return 0;
}
