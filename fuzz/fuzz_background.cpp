// Background files (".ksbck") and the background chunk of the game data against arbitrary
// bytes. The first byte picks the reader. Whatever loads must survive our own writer unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "graphics/background.h"
#include "base/stream.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::vector<uint8_t> bytes(data + 1, data + size);
    if (data[0] % 2 == 0) {
        CBackground back;
        if (!back.LoadFromBackgroundBytes(bytes)) return 0;
        Check(back.GetTexture() == -1); // no device: no texture
        CBackground again;
        Check(again.LoadFromBackgroundBytes(back.SaveToBackgroundBytes()));
        Check(again.Bitmap() == back.Bitmap());
    } else {
        CStream stream(bytes);
        if (Background_LoadChunk(stream)) {
            CStream saved;
            Background_SaveChunk(saved);
            const int32_t count = Background_Count();
            saved.Seek(0);
            Check(Background_LoadChunk(saved));
            Check(Background_Count() == count);
        }
        Background_ClearAll();
    }
    return 0;
}
