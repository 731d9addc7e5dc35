// Path records over hostile bytes: what a loaded record saves must load again and save the
// same; the path built from it (settings mended) must interpolate, answer positions and
// survive every transformation without faults.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/stream.h"
#include "runner/game_data.h"
#include "world/path.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void Exercise(CPath& path) {
    for (double t : {-1.0, 0.0, 0.25, 0.5, 0.999, 1.0, 2.0}) (void)path.Position(t);
    double x = 0, y = 0;
    path.Center(x, y);
    CPath copy;
    copy.Assign(path);
    copy.Reverse();
    copy.Mirror();
    copy.Flip();
    copy.Rotate(33);
    copy.Scale(0, 2);
    copy.Shift(1, -1);
    copy.SetKind(1 - copy.Kind());
    copy.Append(path);
    (void)copy.Position(0.5);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> input(data, data + size);
    try {
        CStream in(input);
        PathRecord record;
        if (record.LoadFromStream(in)) {
            CStream out;
            record.SaveToStream(out);
            out.Seek(0);
            PathRecord again;
            Check(again.LoadFromStream(out));
            CStream second;
            again.SaveToStream(second);
            Check(second.Bytes() == out.Bytes());
            CPath path;
            path.FromRecord(record);
            Check(path.Kind() == 0 || path.Kind() == 1);
            Check(path.Precision() >= 0 && path.Precision() <= kPathMaxPrecision);
            Exercise(path);
        }
    } catch (const StreamError&) {
    }
    // The table never keeps part of a failed load.
    if (!Path_LoadRecords({RawResource{true, "p", input}})) Check(Path_Count() == 0);
    Path_ClearAll();
    return 0;
}
