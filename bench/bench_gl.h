#pragma once
// What the direct OpenGL reference programs of the drawing benchmarks share: a framebuffer to
// draw into and a program from two shader sources, each freed when it goes out of scope.

#include <epoxy/gl.h>

namespace kestrin::bench {

// A colour texture of w × h (and a depth buffer when asked) bound as the framebuffer, with
// the viewport set to vw × vh.
class GlTarget {
public:
    GlTarget(int w, int h, int vw, int vh, bool depth = false) {
        glGenTextures(1, &colour_);
        glBindTexture(GL_TEXTURE_2D, colour_);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glGenFramebuffers(1, &fbo_);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
        if (depth) {
            glGenRenderbuffers(1, &depth_);
            glBindRenderbuffer(GL_RENDERBUFFER, depth_);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
        }
        glViewport(0, 0, vw, vh);
    }
    ~GlTarget() {
        glDeleteFramebuffers(1, &fbo_);
        if (depth_) glDeleteRenderbuffers(1, &depth_);
        glDeleteTextures(1, &colour_);
    }
    GlTarget(const GlTarget&) = delete;
    GlTarget& operator=(const GlTarget&) = delete;

private:
    GLuint fbo_ = 0, colour_ = 0, depth_ = 0;
};

// A linked program in use.
class GlProgram {
public:
    GlProgram(const char* vertex, const char* fragment) {
        vs_ = glCreateShader(GL_VERTEX_SHADER);
        fs_ = glCreateShader(GL_FRAGMENT_SHADER);
        glShaderSource(vs_, 1, &vertex, nullptr);
        glShaderSource(fs_, 1, &fragment, nullptr);
        glCompileShader(vs_);
        glCompileShader(fs_);
        id_ = glCreateProgram();
        glAttachShader(id_, vs_);
        glAttachShader(id_, fs_);
        glLinkProgram(id_);
        glUseProgram(id_);
    }
    ~GlProgram() {
        glDeleteProgram(id_);
        glDeleteShader(vs_);
        glDeleteShader(fs_);
    }
    GlProgram(const GlProgram&) = delete;
    GlProgram& operator=(const GlProgram&) = delete;
    GLuint id() const { return id_; }

private:
    GLuint vs_ = 0, fs_ = 0, id_ = 0;
};

} // namespace kestrin::bench
