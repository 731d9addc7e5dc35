// Drawing 20,000 particles (turned, scaled, coloured, fading quads of one shape) through the
// OpenGL device (headless EGL; llvmpipe without a GPU), against a minimal direct OpenGL
// program drawing the same quads in one call, in the same run.

#include <epoxy/gl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "bench/bench_gl.h"
#include "game/compose.h"
#include "graphics/particle.h"
#include "graphics/render_state.h"
#include "graphics/sprite.h"
#include "platform/gl/egl_headless.h"
#include "platform/gl/gl_device.h"
#include "script/random.h"

using namespace kestrin;

namespace {

constexpr int32_t kParticles = 20000;
constexpr int kFrames = 10;

double Seconds(const std::chrono::steady_clock::time_point& from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// One system of a flare type spread over the region, sizes, angles, colours and alphas varied.
RParticleSystem& MakeSystem() {
    Particle_ClearAll();
    SetRandomSeed(3);
    const int32_t t = ParticleType_Create();
    RParticleType& type = *ParticleType_Get(t);
    type.shape = 8;
    type.sizemin = 0.15;
    type.sizemax = 0.35;
    type.angmax = 360;
    type.colmode = 3;
    type.colpar = {0, 255, 0, 255, 0, 255};
    type.alphastart = type.alphamiddle = type.alphaend = 0.7;
    RParticleSystem& ps = *ParticleSystem_Get(ParticleSystem_Create());
    const int32_t e = Particle_Attach(ps.emitters);
    ps.emitters[size_t(e)].xmax = 640;
    ps.emitters[size_t(e)].ymax = 480;
    const REmitter emitter = ps.emitters[size_t(e)];
    Particle_Burst(ps, emitter, t, kParticles);
    return ps;
}

double DeviceRun() {
    GLDevice device(1024, 768);
    if (!device.Ok()) return 0;
    RenderState_Init(&device, 640, 480, false);
    const RParticleSystem& ps = MakeSystem();
    device.Finish();
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < kFrames; ++f) {
        device.Clear(kClearTarget, 0xFF000000, 1.0f);
        ParticleSystem_Draw(ps);
        device.Finish();
    }
    const double t = Seconds(start);
    std::printf("  device: %lld GPU draw calls\n", (long long)device.GpuDrawCalls());
    Particle_ClearAll();
    RenderState_Finish();
    return double(kParticles) * kFrames / t;
}

const char* kVs = R"(#version 330 core
layout(location = 0) in vec2 p;
layout(location = 1) in vec2 uv;
layout(location = 2) in vec4 c;
out vec2 v_uv;
out vec4 v_c;
void main() { gl_Position = vec4(p.x / 320.0 - 1.0, 1.0 - p.y / 240.0, 0.0, 1.0); v_uv = uv; v_c = c; }
)";
const char* kFs = R"(#version 330 core
in vec2 v_uv;
in vec4 v_c;
uniform sampler2D s;
out vec4 o;
void main() { o = texture(s, v_uv) * v_c; }
)";

// The same turned quads with the least a program can do: one shader, one buffer, one call.
double DirectRun() {
    // The particles and the shape, made without a device (no texture is created).
    const RParticleSystem& ps = MakeSystem();
    const TBitmap32& shape = Particle_ShapeSprite(8)->i_bitmap[0];
    const bench::GlTarget target(1024, 768, 640, 480);
    const bench::GlProgram program(kVs, kFs);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    GLuint tex;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_BGRA, GL_UNSIGNED_BYTE, shape.s_data.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    GLuint vao, vbo;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    struct V {
        float x, y, u, v;
        uint32_t c;
    };
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(V), nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(V), reinterpret_cast<void*>(8));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(V), reinterpret_cast<void*>(16));
    std::vector<V> v;
    v.reserve(size_t(kParticles) * 6);
    glFinish();
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < kFrames; ++f) {
        glClear(GL_COLOR_BUFFER_BIT);
        v.clear();
        for (const RParticle& p : ps.particles) {
            const double a = p.ang * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
            const double h = 32 * p.size;
            const uint32_t rgba = (uint32_t(p.color) & 0xFFFFFF) | uint32_t(p.alpha * 255 + 0.5) << 24;
            auto at = [&](double dx, double dy, float u, float w) {
                return V{float(p.x + dx * c + dy * s), float(p.y - dx * s + dy * c), u, w, rgba};
            };
            const V q0 = at(-h, -h, 0, 0), q1 = at(h, -h, 1, 0), q2 = at(h, h, 1, 1), q3 = at(-h, h, 0, 1);
            v.insert(v.end(), {q0, q1, q2, q0, q2, q3});
        }
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(v.size() * sizeof(V)), v.data(), GL_STREAM_DRAW);
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(v.size()));
        glFinish();
    }
    const double t = Seconds(start);
    glDeleteBuffers(1, &vbo);
    glDeleteVertexArrays(1, &vao);
    glDeleteTextures(1, &tex);
    Particle_ClearAll();
    return double(kParticles) * kFrames / t;
}

} // namespace

int main() {
    kestrin::ComposeGame();
    std::string error;
    auto gl = HeadlessGL::Create(error);
    if (!gl) {
        std::printf("no headless OpenGL (%s): particle drawing benchmark skipped\n", error.c_str());
        return 0;
    }
    std::printf("renderer: %s; %d particles a frame, %d frames\n", gl->Renderer().c_str(), kParticles,
                kFrames);
    const double direct = DirectRun();
    const double device = DeviceRun();
    std::printf("particles drawn: device %.0f /s, direct OpenGL %.0f /s, device time / direct time %.2f\n",
                device, direct, device > 0 ? direct / device : 0.0);
    std::printf("  target: the device within 1.5x of the direct program's time\n");
    return 0;
}
