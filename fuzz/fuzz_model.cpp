// Model files over hostile text: a file that loads formats to text that loads again and
// formats the same, and its mesh builds within the vertex limit; a refused file leaves the
// model empty.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "graphics/model.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    C3D_Model model;
    if (!model.Parse(text)) {
        Check(model.i_numb == 0 && model.i_val.empty());
        return 0;
    }
    Check(model.i_numb == static_cast<int32_t>(model.i_val.size()));
    const std::string once = model.Format();
    C3D_Model again;
    Check(again.Parse(once));
    Check(again.i_numb == model.i_numb);
    Check(again.Format() == once);
    // Without a device the mesh is still recorded.
    model.Draw(0, 0, 0, -1);
    Check(model.m_pMesh != nullptr);
    const CGraphicsRecorder& mesh = *model.m_pMesh;
    Check(mesh.Triangles().size() + mesh.Lines().size() + mesh.Points().size() <= 4u << 20);
    return 0;
}
