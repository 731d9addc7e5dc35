#pragma once
// CGraphicsRecorder: primitives recorded once (3D models) as point, line and triangle lists,
// drawn again and again at a translation. Vertices recorded with the drawing colour carry it
// with bit 0 clear, explicit colours with bit 0 set, so a model can take the drawing colour
// of the moment it is drawn.

#include <cstdint>
#include <vector>

#include "graphics/device.h"

namespace kestrin {

class CGraphicsRecorder {
public:
    // Appends `count` vertices of a primitive list of that kind, converted to a list.
    void AddPrims(PrimitiveType kind, int32_t count, const Vertex3D* vertices);
    void SetColour(uint32_t colour) { m_GlobalColour = colour & ~1u; }
    uint32_t GetColour() const { return m_GlobalColour; }
    // The mesh holds explicit colours only: it is never recoloured.
    void FixColour() { m_GlobalColour |= 1u; }
    // Recolours the vertices that carry the stored drawing colour.
    void ChangeColour(uint32_t colour);
    // Draws every list with the texture (device handle, 0 for none) at a translation.
    void Draw(DeviceTexture texture, double x, double y, double z) const;

    const std::vector<Vertex3D>& Triangles() const { return m_Triangles; }
    const std::vector<Vertex3D>& Lines() const { return m_Lines; }
    const std::vector<Vertex3D>& Points() const { return m_Points; }

private:
    std::vector<Vertex3D> m_Triangles, m_Lines, m_Points;
    uint32_t m_GlobalColour = 0xFFFFFFFEu;
};

} // namespace kestrin
