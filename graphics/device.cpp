#include "graphics/device.h"

#include <cmath>

namespace kestrin {

int32_t VertexCountOf(PrimitiveType type, int32_t count) {
    if (count <= 0) return 0;
    switch (type) {
    case PrimitiveType::PointList:
        return count;
    case PrimitiveType::LineList:
        return count * 2;
    case PrimitiveType::LineStrip:
        return count + 1;
    case PrimitiveType::TriangleList:
        return count * 3;
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan:
        return count + 2;
    }
    return 0;
}

Matrix Matrix::Identity() {
    Matrix r;
    for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0f;
    return r;
}

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

Matrix Translation(float x, float y, float z) {
    Matrix r = Matrix::Identity();
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

Matrix Scaling(float x, float y, float z) {
    Matrix r;
    r.m[0][0] = x;
    r.m[1][1] = y;
    r.m[2][2] = z;
    r.m[3][3] = 1.0f;
    return r;
}

Matrix RotationZ(float radians) {
    Matrix r = Matrix::Identity();
    const float c = std::cos(radians), s = std::sin(radians);
    r.m[0][0] = c;
    r.m[0][1] = s;
    r.m[1][0] = -s;
    r.m[1][1] = c;
    return r;
}

namespace {
using Vec3 = std::array<float, 3>;
Vec3 Sub(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float Dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec3 Normalize(const Vec3& a) {
    const float l = std::sqrt(Dot(a, a));
    if (l == 0.0f) return a;
    return {a[0] / l, a[1] / l, a[2] / l};
}
} // namespace

Matrix LookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up) {
    const Vec3 z = Normalize(Sub(at, eye));
    const Vec3 x = Normalize(Cross(up, z));
    const Vec3 y = Cross(z, x);
    Matrix r;
    for (int i = 0; i < 3; ++i) {
        r.m[i][0] = x[i];
        r.m[i][1] = y[i];
        r.m[i][2] = z[i];
    }
    r.m[3][0] = -Dot(x, eye);
    r.m[3][1] = -Dot(y, eye);
    r.m[3][2] = -Dot(z, eye);
    r.m[3][3] = 1.0f;
    return r;
}

Matrix OrthoLH(float w, float h, float zn, float zf) {
    Matrix r;
    r.m[0][0] = 2.0f / w;
    r.m[1][1] = 2.0f / h;
    r.m[2][2] = 1.0f / (zf - zn);
    r.m[3][2] = zn / (zn - zf);
    r.m[3][3] = 1.0f;
    return r;
}

Matrix PerspectiveLH(float w, float h, float zn, float zf) {
    Matrix r;
    r.m[0][0] = 2.0f * zn / w;
    r.m[1][1] = 2.0f * zn / h;
    r.m[2][2] = zf / (zf - zn);
    r.m[2][3] = 1.0f;
    r.m[3][2] = zn * zf / (zn - zf);
    return r;
}

std::array<float, 3> TransformPoint(const Matrix& m, float x, float y, float z) {
    float out[4];
    for (int j = 0; j < 4; ++j) out[j] = x * m.m[0][j] + y * m.m[1][j] + z * m.m[2][j] + m.m[3][j];
    if (out[3] != 0.0f && out[3] != 1.0f) return {out[0] / out[3], out[1] / out[3], out[2] / out[3]};
    return {out[0], out[1], out[2]};
}

} // namespace kestrin
