// Textured quads per second on the OpenGL device (headless EGL; llvmpipe without a GPU),
// against a minimal direct OpenGL program drawing the same quads in the same run: one
// texture for all quads (the device batches them), and eight textures taken in turn (every
// quad needs its own draw call in both programs, since order is kept).

#include <epoxy/gl.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/bench_gl.h"
#include "game/compose.h"
#include "graphics/graphics_texture.h"
#include "graphics/render_state.h"
#include "platform/gl/egl_headless.h"
#include "platform/gl/gl_device.h"

using namespace kestrin;

namespace {

constexpr int kQuads = 20000;
constexpr int kFrames = 10;
constexpr int kTextures = 8;
constexpr int kSize = 16;

double Seconds(const std::chrono::steady_clock::time_point& from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

struct Spot {
    float x, y;
};

std::vector<Spot> Spots() {
    std::vector<Spot> s(kQuads);
    uint32_t r = 12345;
    for (Spot& p : s) {
        r = r * 1664525u + 1013904223u;
        p.x = float(r % 620);
        r = r * 1664525u + 1013904223u;
        p.y = float(r % 460);
    }
    return s;
}

TBitmap32 Image(int i) {
    TBitmap32 bm(kSize, kSize);
    for (int32_t y = 0; y < kSize; ++y)
        for (int32_t x = 0; x < kSize; ++x)
            bm.SetPixel(x, y, MakeColor32(uint8_t(x * 16), uint8_t(y * 16), uint8_t(i * 30), 255));
    return bm;
}

// Quads per second through the device and the texture table.
double DeviceRun(const std::vector<Spot>& spots, int textures) {
    GLDevice device(1024, 768);
    if (!device.Ok()) return 0;
    RenderState_Init(&device, 640, 480, false);
    std::vector<int32_t> ids;
    for (int i = 0; i < textures; ++i) {
        const TBitmap32 bm = Image(i);
        ids.push_back(GR_Texture_Create_From_Bitmap(&bm));
    }
    device.Finish();
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < kFrames; ++f) {
        device.Clear(kClearTarget, 0xFF000000, 1.0f);
        for (int q = 0; q < kQuads; ++q)
            GR_Texture_Draw(ids[size_t(q % textures)], spots[size_t(q)].x, spots[size_t(q)].y);
        device.Finish();
    }
    const double t = Seconds(start);
    std::printf("  device, %d texture(s): %lld GPU draw calls\n", textures, (long long)device.GpuDrawCalls());
    RenderState_Finish();
    return double(kQuads) * kFrames / t;
}

const char* kVs = R"(#version 330 core
layout(location = 0) in vec2 p;
layout(location = 1) in vec2 uv;
out vec2 v_uv;
void main() { gl_Position = vec4(p.x / 320.0 - 1.0, 1.0 - p.y / 240.0, 0.0, 1.0); v_uv = uv; }
)";
const char* kFs = R"(#version 330 core
in vec2 v_uv;
uniform sampler2D s;
out vec4 o;
void main() { o = texture(s, v_uv); }
)";

// The same quads with the least a program can do: one shader, one buffer, one call per texture run.
double DirectRun(const std::vector<Spot>& spots, int textures) {
    const bench::GlTarget target(1024, 768, 640, 480);
    const bench::GlProgram program(kVs, kFs);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    std::vector<GLuint> tex(static_cast<size_t>(textures));
    glGenTextures(textures, tex.data());
    for (int i = 0; i < textures; ++i) {
        const TBitmap32 bm = Image(i);
        glBindTexture(GL_TEXTURE_2D, tex[size_t(i)]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kSize, kSize, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     bm.s_data.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    GLuint vao, vbo;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 16, nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 16, reinterpret_cast<void*>(8));
    std::vector<float> v;
    v.reserve(size_t(kQuads) * 24);
    glFinish();
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < kFrames; ++f) {
        glClear(GL_COLOR_BUFFER_BIT);
        v.clear();
        for (const Spot& s : spots) {
            const float x0 = s.x, y0 = s.y, x1 = s.x + kSize, y1 = s.y + kSize;
            const float quad[24] = {x0, y0, 0, 0, x1, y0, 1, 0, x1, y1, 1, 1,
                                    x0, y0, 0, 0, x1, y1, 1, 1, x0, y1, 0, 1};
            v.insert(v.end(), quad, quad + 24);
        }
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(v.size() * sizeof(float)), v.data(), GL_STREAM_DRAW);
        if (textures == 1) {
            glBindTexture(GL_TEXTURE_2D, tex[0]);
            glDrawArrays(GL_TRIANGLES, 0, kQuads * 6);
        } else {
            for (int q = 0; q < kQuads; ++q) {
                glBindTexture(GL_TEXTURE_2D, tex[size_t(q % textures)]);
                glDrawArrays(GL_TRIANGLES, q * 6, 6);
            }
        }
        glFinish();
    }
    const double t = Seconds(start);
    glDeleteBuffers(1, &vbo);
    glDeleteVertexArrays(1, &vao);
    glDeleteTextures(textures, tex.data());
    return double(kQuads) * kFrames / t;
}

} // namespace

int main() {
    kestrin::ComposeGame();
    std::string error;
    auto gl = HeadlessGL::Create(error);
    if (!gl) {
        std::printf("no headless OpenGL (%s): quad benchmark skipped\n", error.c_str());
        return 0;
    }
    std::printf("renderer: %s; %d quads of %d x %d a frame, %d frames\n", gl->Renderer().c_str(), kQuads,
                kSize, kSize, kFrames);
    const std::vector<Spot> spots = Spots();
    for (int textures : {1, kTextures}) {
        const double direct = DirectRun(spots, textures);
        const double device = DeviceRun(spots, textures);
        std::printf("%d texture(s): device %.0f quads/s, direct OpenGL %.0f quads/s, ratio %.2f\n", textures,
                    device, direct, direct > 0 ? device / direct : 0.0);
    }
    return 0;
}
