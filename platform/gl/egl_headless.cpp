#include "platform/gl/egl_headless.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

namespace kestrin {

std::unique_ptr<HeadlessGL> HeadlessGL::Create(std::string& error) {
    if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
        error = "EGL has no surfaceless platform";
        return nullptr;
    }
    EGLDisplay display =
        eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
        error = "no EGL display";
        return nullptr;
    }
    if (!eglBindAPI(EGL_OPENGL_API) || !epoxy_has_egl_extension(display, "EGL_KHR_surfaceless_context")) {
        eglTerminate(display);
        error = "EGL cannot make a surfaceless OpenGL context";
        return nullptr;
    }
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs < 1) config = nullptr;
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                        3,
                                        EGL_CONTEXT_MINOR_VERSION,
                                        3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
        eglTerminate(display);
        error = "no OpenGL 3.3 core context";
        return nullptr;
    }
    std::unique_ptr<HeadlessGL> gl(new HeadlessGL);
    gl->display_ = display;
    gl->context_ = context;
    return gl;
}

HeadlessGL::~HeadlessGL() {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
    eglTerminate(display_);
    eglReleaseThread();
}

std::string HeadlessGL::Renderer() const {
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return text ? text : "";
}

} // namespace kestrin
