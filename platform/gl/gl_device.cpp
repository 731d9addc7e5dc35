#include "platform/gl/gl_device.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace kestrin {

struct GLDevice::Texture {
    GLuint tex = 0;
    GLuint fbo = 0;
    GLuint depth = 0;
    int32_t w = 0, h = 0;
};

namespace {

// GLSL that also compiles as ES 3.00 once the version line is swapped.
const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 a_position;
layout(location = 1) in vec4 a_colour; // bytes b, g, r, a
layout(location = 2) in vec2 a_uv;
layout(location = 3) in vec3 a_normal; // (0, 0, 0) for vertices given without one
uniform mat4 u_wvp;
uniform mat4 u_wv;
uniform vec2 u_pixel; // one pixel of the viewport in clip units: (2/w, 2/h)
uniform vec2 u_fog_range;
// Per-vertex lighting of the fixed-function pipeline, in world space.
uniform bool u_lighting;
uniform mat4 u_world;
uniform mat3 u_normal;
uniform vec3 u_ambient;          // emissive + material ambient x ambient light
uniform vec3 u_material_ambient;
uniform int u_light_count;       // enabled lights, packed from index 0
uniform vec4 u_light_position[8]; // w = 1 for point lights, 0 for directional ones
uniform vec3 u_light_direction[8];
uniform vec3 u_light_diffuse[8];
uniform vec3 u_light_ambient[8];
uniform vec4 u_light_falloff[8]; // attenuation 0, 1, 2 and range
out vec4 v_colour;
flat out vec4 v_flat_colour;
out vec2 v_uv;
out float v_fog;
vec4 Lit(vec4 c) {
    vec3 wp = (u_world * vec4(a_position, 1.0)).xyz;
    vec3 n = u_normal * a_normal;
    float nl = length(n);
    n = nl > 0.0 ? n / nl : vec3(0.0);
    vec3 sum = u_ambient;
    for (int i = 0; i < u_light_count; ++i) {
        vec3 l = -u_light_direction[i];
        float att = 1.0;
        if (u_light_position[i].w > 0.5) {
            l = u_light_position[i].xyz - wp;
            float d = length(l);
            if (d > u_light_falloff[i].w) continue;
            float fall = u_light_falloff[i].x + u_light_falloff[i].y * d + u_light_falloff[i].z * d * d;
            att = fall > 0.0 ? 1.0 / fall : 1.0;
        }
        float len = length(l);
        float facing = len > 0.0 ? max(0.0, dot(n, l) / len) : 0.0;
        sum += att * (u_material_ambient * u_light_ambient[i] + c.rgb * u_light_diffuse[i] * facing);
    }
    return vec4(clamp(sum, 0.0, 1.0), c.a);
}
void main() {
    vec4 p = u_wvp * vec4(a_position, 1.0);
    // Pixel centres on integer coordinates, the first row at the top, depth from 0 to 1.
    p.x += p.w * u_pixel.x * 0.5;
    p.y = -p.y + p.w * u_pixel.y * 0.5;
    p.z = 2.0 * p.z - p.w;
    gl_Position = p;
    gl_PointSize = 1.0;
    vec4 c = u_lighting ? Lit(a_colour.bgra) : a_colour.bgra;
    v_colour = c;
    v_flat_colour = c;
    v_uv = a_uv;
    float d = (u_wv * vec4(a_position, 1.0)).z;
    float span = u_fog_range.y - u_fog_range.x;
    v_fog = span != 0.0 ? clamp((u_fog_range.y - d) / span, 0.0, 1.0) : 1.0;
}
)";

const char* kFragmentShader = R"(#version 330 core
in vec4 v_colour;
flat in vec4 v_flat_colour;
in vec2 v_uv;
in float v_fog;
uniform sampler2D u_sampler;
uniform bool u_textured;
uniform bool u_modulate;
uniform bool u_flat;
uniform bool u_alpha_test;
uniform float u_alpha_ref;
uniform bool u_fog;
uniform vec3 u_fog_colour;
out vec4 o_colour;
void main() {
    vec4 c = u_flat ? v_flat_colour : v_colour;
    if (u_textured) {
        vec4 t = texture(u_sampler, v_uv);
        c = u_modulate ? t * c : t;
    }
    if (u_alpha_test && c.a <= u_alpha_ref) discard;
    if (u_fog) c.rgb = mix(u_fog_colour, c.rgb, v_fog);
    o_colour = c;
}
)";

GLuint Compile(GLenum kind, const char* source, std::string& error) {
    GLuint s = glCreateShader(kind);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        error = std::string("shader: ") + log;
        glDeleteShader(s);
        return 0;
    }
    return s;
}

GLenum BlendOf(BlendFactor f) {
    switch (f) {
    case BlendFactor::Zero:
        return GL_ZERO;
    case BlendFactor::One:
        return GL_ONE;
    case BlendFactor::SrcColor:
        return GL_SRC_COLOR;
    case BlendFactor::InvSrcColor:
        return GL_ONE_MINUS_SRC_COLOR;
    case BlendFactor::SrcAlpha:
        return GL_SRC_ALPHA;
    case BlendFactor::InvSrcAlpha:
        return GL_ONE_MINUS_SRC_ALPHA;
    case BlendFactor::DestAlpha:
        return GL_DST_ALPHA;
    case BlendFactor::InvDestAlpha:
        return GL_ONE_MINUS_DST_ALPHA;
    case BlendFactor::DestColor:
        return GL_DST_COLOR;
    case BlendFactor::InvDestColor:
        return GL_ONE_MINUS_DST_COLOR;
    case BlendFactor::SrcAlphaSat:
        return GL_SRC_ALPHA_SATURATE;
    }
    return GL_ONE;
}

void ToRgba(const TColor32* in, size_t n, uint8_t* out) {
    for (size_t i = 0; i < n; ++i) {
        const TColor32 c = in[i];
        out[4 * i] = uint8_t(c >> 16);
        out[4 * i + 1] = uint8_t(c >> 8);
        out[4 * i + 2] = uint8_t(c);
        out[4 * i + 3] = uint8_t(c >> 24);
    }
}

} // namespace

GLDevice::GLDevice(int32_t backWidth, int32_t backHeight, Window window)
    : window_(std::move(window)), back_w_(std::max(backWidth, 1)), back_h_(std::max(backHeight, 1)) {
    ok_ = Build();
}

GLDevice::~GLDevice() {
    for (Texture* t : textures_)
        if (t) {
            glDeleteFramebuffers(1, &t->fbo);
            glDeleteRenderbuffers(1, &t->depth);
            glDeleteTextures(1, &t->tex);
            delete t;
        }
    glDeleteFramebuffers(1, &back_fbo_);
    glDeleteTextures(1, &back_colour_);
    glDeleteRenderbuffers(1, &back_depth_);
    glDeleteBuffers(1, &vbo_);
    glDeleteVertexArrays(1, &vao_);
    glDeleteVertexArrays(1, &vao3d_);
    glDeleteSamplers(1, &sampler_);
    glDeleteProgram(program_);
}

bool GLDevice::Build() {
    if (epoxy_gl_version() < 33) {
        error_ = "OpenGL 3.3 is not available";
        return false;
    }
    GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader, error_);
    GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, kFragmentShader, error_) : 0;
    if (!fs) return false;
    program_ = glCreateProgram();
    glAttachShader(program_, vs);
    glAttachShader(program_, fs);
    glLinkProgram(program_);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(program_, GL_LINK_STATUS, &linked);
    if (!linked) {
        error_ = "shader program does not link";
        return false;
    }
    glUseProgram(program_);
    u_wvp_ = glGetUniformLocation(program_, "u_wvp");
    u_wv_ = glGetUniformLocation(program_, "u_wv");
    u_pixel_ = glGetUniformLocation(program_, "u_pixel");
    u_textured_ = glGetUniformLocation(program_, "u_textured");
    u_modulate_ = glGetUniformLocation(program_, "u_modulate");
    u_alpha_test_ = glGetUniformLocation(program_, "u_alpha_test");
    u_alpha_ref_ = glGetUniformLocation(program_, "u_alpha_ref");
    u_flat_ = glGetUniformLocation(program_, "u_flat");
    u_fog_ = glGetUniformLocation(program_, "u_fog");
    u_fog_colour_ = glGetUniformLocation(program_, "u_fog_colour");
    u_fog_range_ = glGetUniformLocation(program_, "u_fog_range");
    u_sampler_ = glGetUniformLocation(program_, "u_sampler");
    glUniform1i(u_sampler_, 0);
    u_lighting_ = glGetUniformLocation(program_, "u_lighting");
    u_world_ = glGetUniformLocation(program_, "u_world");
    u_normal_ = glGetUniformLocation(program_, "u_normal");
    u_ambient_ = glGetUniformLocation(program_, "u_ambient");
    u_material_ambient_ = glGetUniformLocation(program_, "u_material_ambient");
    u_light_count_ = glGetUniformLocation(program_, "u_light_count");
    u_light_position_ = glGetUniformLocation(program_, "u_light_position");
    u_light_direction_ = glGetUniformLocation(program_, "u_light_direction");
    u_light_diffuse_ = glGetUniformLocation(program_, "u_light_diffuse");
    u_light_ambient_ = glGetUniformLocation(program_, "u_light_ambient");
    u_light_falloff_ = glGetUniformLocation(program_, "u_light_falloff");

    // Two layouts over one buffer: 2D vertices, whose normal is the constant (0, 0, 0), and
    // vertices with normals.
    glGenBuffers(1, &vbo_);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          reinterpret_cast<void*>(offsetof(Vertex, x)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                          reinterpret_cast<void*>(offsetof(Vertex, colour)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          reinterpret_cast<void*>(offsetof(Vertex, u)));
    glVertexAttrib3f(3, 0.0f, 0.0f, 0.0f);
    glGenVertexArrays(1, &vao3d_);
    glBindVertexArray(vao3d_);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex3D),
                          reinterpret_cast<void*>(offsetof(Vertex3D, x)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex3D),
                          reinterpret_cast<void*>(offsetof(Vertex3D, colour)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex3D),
                          reinterpret_cast<void*>(offsetof(Vertex3D, u)));
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(3, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex3D),
                          reinterpret_cast<void*>(offsetof(Vertex3D, nx)));
    glBindVertexArray(vao_);
    glGenSamplers(1, &sampler_);
    glBindSampler(0, sampler_);
    glActiveTexture(GL_TEXTURE0);

    glGenTextures(1, &back_colour_);
    glBindTexture(GL_TEXTURE_2D, back_colour_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, back_w_, back_h_, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenRenderbuffers(1, &back_depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, back_depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, back_w_, back_h_);
    glGenFramebuffers(1, &back_fbo_);
    glBindFramebuffer(GL_FRAMEBUFFER, back_fbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, back_colour_, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, back_depth_);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error_ = "the back buffer cannot be made";
        return false;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glEnable(GL_PROGRAM_POINT_SIZE);
    glEnable(GL_SCISSOR_TEST);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glDepthFunc(GL_LEQUAL);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    viewport_ = {0, 0, back_w_, back_h_, 0.0f, 1.0f};
    return glGetError() == GL_NO_ERROR;
}

GLDevice::Texture* GLDevice::Find(DeviceTexture texture) {
    if (texture == 0 || texture > textures_.size()) return nullptr;
    return textures_[texture - 1];
}

void GLDevice::TextureSize(int32_t w, int32_t h, int32_t& wt, int32_t& ht) const {
    // Powers of two, as the games were made for; scripts see the padding through texture_get_width.
    wt = ht = 1;
    while (wt < w && wt < (1 << 14)) wt <<= 1;
    while (ht < h && ht < (1 << 14)) ht <<= 1;
}

DeviceTexture GLDevice::CreateTexture(int32_t wt, int32_t ht, bool renderTarget) {
    GLint max = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
    if (wt <= 0 || ht <= 0 || wt > max || ht > max) return 0;
    Flush();
    auto* t = new Texture;
    t->w = wt;
    t->h = ht;
    glGenTextures(1, &t->tex);
    glBindTexture(GL_TEXTURE_2D, t->tex);
    // Transparent black, as the device's new textures are.
    std::vector<uint8_t> zero(size_t(wt) * size_t(ht) * 4, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, wt, ht, 0, GL_RGBA, GL_UNSIGNED_BYTE, zero.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    if (renderTarget) {
        glGenRenderbuffers(1, &t->depth);
        glBindRenderbuffer(GL_RENDERBUFFER, t->depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, wt, ht);
        glGenFramebuffers(1, &t->fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, t->fbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t->tex, 0);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, t->depth);
        const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        target_dirty_ = true;
        if (!complete) {
            glDeleteFramebuffers(1, &t->fbo);
            glDeleteRenderbuffers(1, &t->depth);
            glDeleteTextures(1, &t->tex);
            delete t;
            return 0;
        }
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    texture_ = 0;
    for (size_t i = 0; i < textures_.size(); ++i)
        if (!textures_[i]) {
            textures_[i] = t;
            return static_cast<DeviceTexture>(i + 1);
        }
    textures_.push_back(t);
    return static_cast<DeviceTexture>(textures_.size());
}

bool GLDevice::UploadTexture(DeviceTexture texture, int32_t w, int32_t h, const TColor32* pixels) {
    Texture* t = Find(texture);
    if (!t || w > t->w || h > t->h || w <= 0 || h <= 0) return false;
    Flush();
    std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
    ToRgba(pixels, size_t(w) * size_t(h), rgba.data());
    glBindTexture(GL_TEXTURE_2D, t->tex);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    texture_ = 0;
    states_dirty_ = true;
    return true;
}

void GLDevice::FreeTexture(DeviceTexture texture) {
    Texture* t = Find(texture);
    if (!t) return;
    Flush();
    if (target_ == texture) {
        target_ = 0;
        target_dirty_ = true;
    }
    if (texture_ == texture) texture_ = 0;
    glDeleteFramebuffers(1, &t->fbo);
    glDeleteRenderbuffers(1, &t->depth);
    glDeleteTextures(1, &t->tex);
    delete t;
    textures_[texture - 1] = nullptr;
    states_dirty_ = true;
}

void GLDevice::SetTexture(DeviceTexture texture) {
    if (!Find(texture)) texture = 0;
    if (texture == texture_) return;
    Flush();
    texture_ = texture;
    states_dirty_ = true;
}

void GLDevice::SetStates(const RenderStates& states) {
    if (states == states_) return;
    Flush();
    states_ = states;
    states_dirty_ = true;
}

void GLDevice::SetTransform(TransformKind kind, const Matrix& matrix) {
    Matrix& m = kind == TransformKind::World ? world_ : kind == TransformKind::View ? view_ : projection_;
    if (m == matrix) return;
    Flush();
    m = matrix;
    transform_dirty_ = true;
}

void GLDevice::SetViewport(const Viewport& viewport) {
    if (viewport == viewport_) return;
    Flush();
    viewport_ = viewport;
    viewport_dirty_ = true;
}

void GLDevice::ApplyTarget() {
    if (!target_dirty_) return;
    Texture* t = Find(target_);
    glBindFramebuffer(GL_FRAMEBUFFER, t ? t->fbo : back_fbo_);
    target_dirty_ = false;
    viewport_dirty_ = true;
}

void GLDevice::ApplyStates() {
    ApplyTarget();
    if (viewport_dirty_) {
        glViewport(viewport_.x, viewport_.y, viewport_.w, viewport_.h);
        glScissor(viewport_.x, viewport_.y, std::max(viewport_.w, 0), std::max(viewport_.h, 0));
        glUniform2f(u_pixel_, viewport_.w > 0 ? 2.0f / float(viewport_.w) : 0.0f,
                    viewport_.h > 0 ? 2.0f / float(viewport_.h) : 0.0f);
        // D3D maps [0, 1] depth into the viewport's range; GL's default [0, 1] matches the runner's.
        glDepthRangef(viewport_.min_z, viewport_.max_z);
        viewport_dirty_ = false;
    }
    if (transform_dirty_) {
        const Matrix wv = Multiply(world_, view_);
        const Matrix wvp = Multiply(wv, projection_);
        // Row-major data read as column-major is the transpose, which makes the shader's
        // matrix-times-column product equal the row-vector product.
        glUniformMatrix4fv(u_wvp_, 1, GL_FALSE, &wvp.m[0][0]);
        glUniformMatrix4fv(u_wv_, 1, GL_FALSE, &wv.m[0][0]);
        glUniformMatrix4fv(u_world_, 1, GL_FALSE, &world_.m[0][0]);
        const auto normal = NormalMatrix(world_);
        glUniformMatrix3fv(u_normal_, 1, GL_FALSE, &normal[0][0]);
        transform_dirty_ = false;
    }
    if (lighting_dirty_) {
        ApplyLighting();
        lighting_dirty_ = false;
    }
    if (!states_dirty_) return;
    const RenderStates& s = states_;
    if (s.alpha_blend)
        glEnable(GL_BLEND);
    else
        glDisable(GL_BLEND);
    glBlendFunc(BlendOf(s.src_blend), BlendOf(s.dest_blend));
    if (s.z_enable)
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
    glDepthMask(s.z_write ? GL_TRUE : GL_FALSE);
    glUniform1i(u_alpha_test_, s.alpha_test);
    glUniform1f(u_alpha_ref_, float(s.alpha_ref) / 255.0f);
    glUniform1i(u_flat_, s.shade == ShadeMode::Flat);
    if (s.cull == CullMode::CounterClockwise)
        glEnable(GL_CULL_FACE);
    else
        glDisable(GL_CULL_FACE);
    glUniform1i(u_fog_, s.fog);
    glUniform3f(u_fog_colour_, float(s.fog_colour >> 16 & 0xFF) / 255.0f,
                float(s.fog_colour >> 8 & 0xFF) / 255.0f, float(s.fog_colour & 0xFF) / 255.0f);
    glUniform2f(u_fog_range_, s.fog_start, s.fog_end);
    glUniform1i(u_lighting_, s.lighting);
    const GLint filter = s.filter == TextureFilter::Linear ? GL_LINEAR : GL_NEAREST;
    glSamplerParameteri(sampler_, GL_TEXTURE_MIN_FILTER, filter);
    glSamplerParameteri(sampler_, GL_TEXTURE_MAG_FILTER, filter);
    glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_S,
                        s.address_u == TextureAddress::Wrap ? GL_REPEAT : GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_T,
                        s.address_v == TextureAddress::Wrap ? GL_REPEAT : GL_CLAMP_TO_EDGE);
    Texture* t = Find(texture_);
    glBindTexture(GL_TEXTURE_2D, t ? t->tex : 0);
    glUniform1i(u_textured_, t != nullptr);
    glUniform1i(u_modulate_, s.colour_op == TextureOp::Modulate);
    states_dirty_ = false;
}

namespace {

// Strips and fans become lists so that consecutive draws can share one call; the first
// vertex of each triangle stays the one flat shading takes.
template <class V> void AppendAsList(PrimitiveType type, const V* v, size_t n, std::vector<V>& out) {
    switch (type) {
    case PrimitiveType::PointList:
    case PrimitiveType::LineList:
    case PrimitiveType::TriangleList:
        out.insert(out.end(), v, v + n);
        break;
    case PrimitiveType::LineStrip:
        for (size_t i = 0; i + 1 < n; ++i) {
            out.push_back(v[i]);
            out.push_back(v[i + 1]);
        }
        break;
    case PrimitiveType::TriangleStrip:
        for (size_t i = 0; i + 2 < n; ++i) {
            out.push_back(v[i]);
            out.push_back(v[i % 2 ? i + 2 : i + 1]);
            out.push_back(v[i % 2 ? i + 1 : i + 2]);
        }
        break;
    case PrimitiveType::TriangleFan:
        for (size_t i = 1; i + 1 < n; ++i) {
            out.push_back(v[i]);
            out.push_back(v[i + 1]);
            out.push_back(v[0]);
        }
        break;
    }
}

} // namespace

GLDevice::Batch GLDevice::BatchOf(PrimitiveType type) {
    switch (type) {
    case PrimitiveType::PointList:
        return Batch::Points;
    case PrimitiveType::LineList:
    case PrimitiveType::LineStrip:
        return Batch::Lines;
    default:
        return Batch::Triangles;
    }
}

void GLDevice::DrawPrimitive(PrimitiveType type, int32_t count, const Vertex* v) {
    if (count <= 0 || !v) return;
    const Batch kind = BatchOf(type);
    if (batch_ != kind || with_normals_) Flush();
    batch_ = kind;
    with_normals_ = false;
    AppendAsList(type, v, static_cast<size_t>(VertexCountOf(type, count)), pending_);
}

void GLDevice::DrawPrimitive3D(PrimitiveType type, int32_t count, const Vertex3D* v) {
    if (count <= 0 || !v) return;
    const Batch kind = BatchOf(type);
    if (batch_ != kind || !with_normals_) Flush();
    batch_ = kind;
    with_normals_ = true;
    AppendAsList(type, v, static_cast<size_t>(VertexCountOf(type, count)), pending3d_);
}

void GLDevice::SetLight(int32_t index, const Light& light) {
    if (index < 0 || index >= kMaxLights || lighting_.lights[size_t(index)] == light) return;
    Flush();
    lighting_.lights[size_t(index)] = light;
    lighting_dirty_ = true;
}

void GLDevice::LightEnable(int32_t index, bool enable) {
    if (index < 0 || index >= kMaxLights || lighting_.enabled[size_t(index)] == enable) return;
    Flush();
    lighting_.enabled[size_t(index)] = enable;
    lighting_dirty_ = true;
}

void GLDevice::SetMaterial(const Material& material) {
    if (lighting_.material == material) return;
    Flush();
    lighting_.material = material;
    lighting_dirty_ = true;
}

void GLDevice::SetAmbient(uint32_t argb) {
    if (lighting_.ambient == argb) return;
    Flush();
    lighting_.ambient = argb;
    lighting_dirty_ = true;
}

void GLDevice::ApplyLighting() {
    const Material& m = lighting_.material;
    const LightColour a = ColourFromArgb(lighting_.ambient);
    glUniform3f(u_ambient_, m.emissive.r + m.ambient.r * a.r, m.emissive.g + m.ambient.g * a.g,
                m.emissive.b + m.ambient.b * a.b);
    glUniform3f(u_material_ambient_, m.ambient.r, m.ambient.g, m.ambient.b);
    float position[4 * kMaxLights] = {}, falloff[4 * kMaxLights] = {};
    float direction[3 * kMaxLights] = {}, diffuse[3 * kMaxLights] = {}, ambient[3 * kMaxLights] = {};
    int32_t n = 0;
    for (int32_t i = 0; i < kMaxLights; ++i) {
        if (!lighting_.enabled[size_t(i)]) continue;
        const Light& l = lighting_.lights[size_t(i)];
        const auto k = size_t(n++);
        const bool point = l.type == LightType::Point;
        for (size_t c = 0; c < 3; ++c) {
            position[4 * k + c] = l.position[c];
            direction[3 * k + c] = l.direction[c];
        }
        position[4 * k + 3] = point ? 1.0f : 0.0f;
        diffuse[3 * k] = l.diffuse.r, diffuse[3 * k + 1] = l.diffuse.g, diffuse[3 * k + 2] = l.diffuse.b;
        ambient[3 * k] = l.ambient.r, ambient[3 * k + 1] = l.ambient.g, ambient[3 * k + 2] = l.ambient.b;
        falloff[4 * k] = l.attenuation0, falloff[4 * k + 1] = l.attenuation1;
        falloff[4 * k + 2] = l.attenuation2, falloff[4 * k + 3] = l.range;
    }
    glUniform1i(u_light_count_, n);
    glUniform4fv(u_light_position_, kMaxLights, position);
    glUniform3fv(u_light_direction_, kMaxLights, direction);
    glUniform3fv(u_light_diffuse_, kMaxLights, diffuse);
    glUniform3fv(u_light_ambient_, kMaxLights, ambient);
    glUniform4fv(u_light_falloff_, kMaxLights, falloff);
}

void GLDevice::Flush() {
    const size_t count = with_normals_ ? pending3d_.size() : pending_.size();
    if (count == 0) {
        batch_ = Batch::None;
        return;
    }
    ApplyStates();
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    if (with_normals_) {
        glBindVertexArray(vao3d_);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(Vertex3D)), pending3d_.data(),
                     GL_STREAM_DRAW);
    } else {
        glBindVertexArray(vao_);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(Vertex)), pending_.data(),
                     GL_STREAM_DRAW);
    }
    const GLenum mode = batch_ == Batch::Points  ? GL_POINTS
                        : batch_ == Batch::Lines ? GL_LINES
                                                 : GL_TRIANGLES;
    glDrawArrays(mode, 0, static_cast<GLsizei>(count));
    ++gpu_draws_;
    pending_.clear();
    pending3d_.clear();
    batch_ = Batch::None;
}

void GLDevice::Clear(uint32_t flags, uint32_t argb, float z) {
    Flush();
    ApplyTarget();
    if (viewport_dirty_) ApplyStates();
    GLbitfield mask = 0;
    if (flags & kClearTarget) {
        glClearColor(float(argb >> 16 & 0xFF) / 255.0f, float(argb >> 8 & 0xFF) / 255.0f,
                     float(argb & 0xFF) / 255.0f, float(argb >> 24) / 255.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & kClearZBuffer) {
        glClearDepthf(z);
        glDepthMask(GL_TRUE);
        mask |= GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT;
        states_dirty_ = true;
    }
    if (mask) glClear(mask);
}

bool GLDevice::SetRenderTarget(DeviceTexture texture) {
    if (texture != 0) {
        Texture* t = Find(texture);
        if (!t || !t->fbo) return false;
    }
    if (texture == target_) return true;
    Flush();
    target_ = texture;
    target_dirty_ = true;
    return true;
}

bool GLDevice::ReadPixels(const IntRect& area, TBitmap32& out) {
    Texture* t = Find(target_);
    const int32_t tw = t ? t->w : back_w_, th = t ? t->h : back_h_;
    if (area.x < 0 || area.y < 0 || area.w <= 0 || area.h <= 0 || area.x + area.w > tw ||
        area.y + area.h > th)
        return false;
    Flush();
    ApplyTarget();
    std::vector<uint8_t> rgba(size_t(area.w) * size_t(area.h) * 4);
    glReadPixels(area.x, area.y, area.w, area.h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    if (!out.Resize(area.w, area.h)) return false;
    for (size_t i = 0; i < out.s_data.size(); ++i)
        out.s_data[i] = MakeColor32(rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2], rgba[4 * i + 3]);
    return true;
}

bool GLDevice::CopyRect(DeviceTexture source, const IntRect& area, DeviceTexture dest, int32_t x, int32_t y) {
    Texture* s = Find(source);
    Texture* d = Find(dest);
    if (!s || !d || !s->fbo || !d->fbo) return false;
    Flush();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s->fbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, d->fbo);
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(area.x, area.y, area.x + area.w, area.y + area.h, x, y, x + area.w, y + area.h,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glEnable(GL_SCISSOR_TEST);
    target_dirty_ = true;
    return true;
}

bool GLDevice::Present(const IntRect& source, const IntRect& dest, uint32_t outside) {
    Flush();
    if (!window_.swap) return true;
    int32_t ww = 0, wh = 0;
    if (window_.size) window_.size(ww, wh);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, back_fbo_);
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, ww, wh);
    glClearColor(float(outside >> 16 & 0xFF) / 255.0f, float(outside >> 8 & 0xFF) / 255.0f,
                 float(outside & 0xFF) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    // The window's first row is its bottom one: the blit turns the picture upright.
    const bool scaled = source.w != dest.w || source.h != dest.h;
    glBlitFramebuffer(source.x, source.y, source.x + source.w, source.y + source.h, dest.x, wh - dest.y,
                      dest.x + dest.w, wh - dest.y - dest.h, GL_COLOR_BUFFER_BIT,
                      scaled ? GL_LINEAR : GL_NEAREST);
    glEnable(GL_SCISSOR_TEST);
    window_.swap();
    target_dirty_ = true;
    viewport_dirty_ = true;
    return true;
}

void GLDevice::SetSwapInterval(int32_t interval) {
    if (window_.swap_interval) window_.swap_interval(interval);
}

void GLDevice::Finish() {
    Flush();
    glFinish();
}

} // namespace kestrin
