#include "graphics/graphics_recorder.h"

#include <algorithm>

#include "graphics/render_state.h"

namespace kestrin {

void CGraphicsRecorder::AddPrims(PrimitiveType kind, int32_t count, const Vertex3D* v) {
    if (count <= 0 || !v) return;
    const auto n = static_cast<size_t>(count);
    switch (kind) {
    case PrimitiveType::PointList:
        m_Points.insert(m_Points.end(), v, v + n);
        break;
    case PrimitiveType::LineList:
        m_Lines.insert(m_Lines.end(), v, v + n - n % 2);
        break;
    case PrimitiveType::TriangleList:
        m_Triangles.insert(m_Triangles.end(), v, v + n - n % 3);
        break;
    case PrimitiveType::LineStrip:
        for (size_t i = 0; i + 1 < n; ++i) {
            m_Lines.push_back(v[i]);
            m_Lines.push_back(v[i + 1]);
        }
        break;
    case PrimitiveType::TriangleStrip:
        // Every second triangle reversed, so all keep the strip's winding.
        for (size_t i = 0; i + 2 < n; ++i) {
            if (i % 2 == 0)
                m_Triangles.insert(m_Triangles.end(), {v[i], v[i + 1], v[i + 2]});
            else
                m_Triangles.insert(m_Triangles.end(), {v[i + 2], v[i + 1], v[i]});
        }
        break;
    case PrimitiveType::TriangleFan:
        for (size_t i = 1; i + 1 < n; ++i) m_Triangles.insert(m_Triangles.end(), {v[0], v[i], v[i + 1]});
        break;
    }
}

void CGraphicsRecorder::ChangeColour(uint32_t colour) {
    if (m_GlobalColour & 1u) return;
    const uint32_t now = colour & ~1u;
    for (auto* list : {&m_Triangles, &m_Lines, &m_Points})
        for (Vertex3D& v : *list)
            if (v.colour == m_GlobalColour) v.colour = now;
    m_GlobalColour = now;
}

void CGraphicsRecorder::Draw(DeviceTexture texture, double x, double y, double z) const {
    Device* d = RenderState_Device();
    if (!d) return;
    const Matrix saved = RenderState_GetWorld();
    RenderState_SetWorld(Multiply(Translation(float(x), float(y), float(z)), saved));
    d->SetTexture(texture);
    auto send = [&](const std::vector<Vertex3D>& list, PrimitiveType type, size_t per) {
        if (list.size() < per) return;
        // Long lists go in pieces the device accepts.
        const size_t chunk = std::max<size_t>(per, size_t(d->MaxPrimitiveCount()) * per);
        for (size_t start = 0; start + per <= list.size(); start += chunk) {
            const size_t n = std::min(chunk, list.size() - start) / per * per;
            d->DrawPrimitive3D(type, static_cast<int32_t>(n / per), list.data() + start);
        }
    };
    send(m_Triangles, PrimitiveType::TriangleList, 3);
    send(m_Lines, PrimitiveType::LineList, 2);
    send(m_Points, PrimitiveType::PointList, 1);
    RenderState_SetWorld(saved);
}

} // namespace kestrin
