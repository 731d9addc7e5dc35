// A lit, fogged model of 100,000 triangles: frames per second on the OpenGL device (headless
// EGL; llvmpipe without a GPU) against a minimal direct OpenGL program that streams the same
// vertex buffer each frame and lights and fogs it with an equivalent shader, in the same run.

#include <epoxy/gl.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/bench_gl.h"
#include "game/compose.h"
#include "graphics/graphics_3d.h"
#include "graphics/graphics_recorder.h"
#include "graphics/render_state.h"
#include "platform/gl/egl_headless.h"
#include "platform/gl/gl_device.h"

using namespace kestrin;

namespace {

constexpr int kTriangles = 100000;
constexpr int kFrames = 10;
constexpr int kWidth = 640, kHeight = 480;

double Seconds(const std::chrono::steady_clock::time_point& from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// A wavy sheet of small triangles over the whole view, normals from the wave.
std::vector<Vertex3D> Model() {
    std::vector<Vertex3D> v;
    v.reserve(size_t(kTriangles) * 3);
    const int across = 250, down = kTriangles / (2 * across);
    const float cw = float(kWidth) / across, ch = float(kHeight) / down;
    auto at = [&](int i, int j) {
        const float x = float(i) * cw, y = float(j) * ch, z = 20.0f * std::sin(x * 0.05f) * std::cos(y * 0.05f);
        const float dzdx = 1.0f * std::cos(x * 0.05f) * std::cos(y * 0.05f);
        const float dzdy = -1.0f * std::sin(x * 0.05f) * std::sin(y * 0.05f);
        const float l = std::sqrt(dzdx * dzdx + dzdy * dzdy + 1);
        return Vertex3D{x, y, z, -dzdx / l, -dzdy / l, -1 / l, 0xFFC0A080u, 0, 0};
    };
    for (int j = 0; j < down; ++j)
        for (int i = 0; i < across; ++i) {
            v.insert(v.end(), {at(i, j), at(i + 1, j), at(i + 1, j + 1)});
            v.insert(v.end(), {at(i, j), at(i + 1, j + 1), at(i, j + 1)});
        }
    return v;
}

void Scene() {
    D3D_Start();
    RenderState_SetLighting(true);
    RenderState_SetFog(true, 0x202020, 15990, 16030);
    D3D_LightDefineAmbient(0x303030);
    D3D_LightDefineDirection(0, 0.2, 0.3, 1, 0x808080);
    D3D_LightEnable(0, true);
    D3D_LightDefinePoint(1, 320, 240, -100, 600, 0xFFFFFF);
    D3D_LightEnable(1, true);
    D3D_SetProjectionOrtho(0, 0, kWidth, kHeight, 0);
}

double DeviceRun(const std::vector<Vertex3D>& model) {
    GLDevice device(kWidth, kHeight);
    if (!device.Ok()) return 0;
    RenderState_Init(&device, kWidth, kHeight, false);
    Scene();
    CGraphicsRecorder mesh;
    mesh.AddPrims(PrimitiveType::TriangleList, int32_t(model.size()), model.data());
    device.Finish();
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < kFrames; ++f) {
        device.Clear(kClearTarget | kClearZBuffer, 0xFF000000, 1.0f);
        mesh.Draw(0, 0, 0, 0);
        device.Finish();
    }
    const double t = Seconds(start);
    std::printf("  device: %lld GPU draw calls\n", (long long)device.GpuDrawCalls());
    D3D_Reset();
    RenderState_SetLighting(false);
    RenderState_SetFog(false, 0, 0, 1);
    RenderState_Finish();
    return kFrames / t;
}

const char* kVs = R"(#version 330 core
layout(location = 0) in vec3 p;
layout(location = 1) in vec3 n;
layout(location = 2) in vec4 c;
uniform mat4 wvp;
uniform vec3 ambient;
uniform vec3 sun_dir, sun_col, lamp_pos, lamp_col;
uniform vec4 lamp_falloff;
out vec4 v_c;
out float v_fog;
void main() {
    gl_Position = wvp * vec4(p, 1.0);
    vec3 nn = length(n) > 0.0 ? normalize(n) : vec3(0.0);
    vec3 col = ambient;
    col += c.bgr * sun_col * max(0.0, dot(nn, -sun_dir));
    vec3 l = lamp_pos - p;
    float d = length(l);
    if (d <= lamp_falloff.w) {
        float att = 1.0 / (lamp_falloff.x + lamp_falloff.y * d);
        col += att * c.bgr * lamp_col * max(0.0, dot(nn, l / d));
    }
    v_c = vec4(clamp(col, 0.0, 1.0), c.a);
    float z = p.z + 16000.0;
    v_fog = clamp((16030.0 - z) / 40.0, 0.0, 1.0);
}
)";
const char* kFs = R"(#version 330 core
in vec4 v_c;
in float v_fog;
uniform vec3 fog_col;
out vec4 o;
void main() { o = vec4(mix(fog_col, v_c.rgb, v_fog), v_c.a); }
)";

double DirectRun(const std::vector<Vertex3D>& model) {
    const bench::GlTarget target(kWidth, kHeight, kWidth, kHeight, true);
    const bench::GlProgram program(kVs, kFs);
    const GLuint prog = program.id();
    // The same orthographic view of the sheet: x to [-1, 1], y downwards, z into [0, 1].
    const float wvp[16] = {2.0f / kWidth, 0, 0, 0, 0, -2.0f / kHeight, 0, 0, 0, 0, 2.0f / 32000, 0,
                           -1, 1, 2.0f * 15999 / 32000 - 1, 1};
    glUniformMatrix4fv(glGetUniformLocation(prog, "wvp"), 1, GL_FALSE, wvp);
    glUniform3f(glGetUniformLocation(prog, "ambient"), 0.188f, 0.188f, 0.188f);
    const float l = std::sqrt(0.04f + 0.09f + 1);
    glUniform3f(glGetUniformLocation(prog, "sun_dir"), 0.2f / l, 0.3f / l, 1 / l);
    glUniform3f(glGetUniformLocation(prog, "sun_col"), 0.5f, 0.5f, 0.5f);
    glUniform3f(glGetUniformLocation(prog, "lamp_pos"), 320, 240, -100);
    glUniform3f(glGetUniformLocation(prog, "lamp_col"), 1, 1, 1);
    glUniform4f(glGetUniformLocation(prog, "lamp_falloff"), 1, 4.0f / 600, 0, 600);
    glUniform3f(glGetUniformLocation(prog, "fog_col"), 0.125f, 0.125f, 0.125f);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    GLuint vao, vbo;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 36, nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 36, reinterpret_cast<void*>(12));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, 36, reinterpret_cast<void*>(24));
    glFinish();
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < kFrames; ++f) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // Streamed each frame, as drawing from memory does.
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(model.size() * sizeof(Vertex3D)), model.data(), GL_STREAM_DRAW);
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(model.size()));
        glFinish();
    }
    const double t = Seconds(start);
    glDeleteBuffers(1, &vbo);
    glDeleteVertexArrays(1, &vao);
    return kFrames / t;
}

} // namespace

int main() {
    kestrin::ComposeGame();
    std::string error;
    auto gl = HeadlessGL::Create(error);
    if (!gl) {
        std::printf("no headless OpenGL (%s): 3D benchmark skipped\n", error.c_str());
        return 0;
    }
    const std::vector<Vertex3D> model = Model();
    std::printf("renderer: %s; %zu triangles lit by an ambient, a directional and a point light, with fog; "
                "%d frames of %d x %d\n",
                gl->Renderer().c_str(), model.size() / 3, kFrames, kWidth, kHeight);
    const double direct = DirectRun(model);
    const double device = DeviceRun(model);
    std::printf("device %.1f frames/s, direct OpenGL %.1f frames/s, time ratio %.2f (target <= 1.5)\n", device,
                direct, device > 0 ? direct / device : 0.0);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
