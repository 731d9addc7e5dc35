#pragma once
// An OpenGL 3.3 core context without any display, through EGL on Mesa (surfaceless platform,
// llvmpipe when there is no GPU): for screenshots of headless runs and for pixel goldens.

#include <memory>
#include <string>

namespace kestrin {

class HeadlessGL {
public:
    // Nullptr (and the reason) when no EGL device can give such a context.
    static std::unique_ptr<HeadlessGL> Create(std::string& error);
    ~HeadlessGL();
    HeadlessGL(const HeadlessGL&) = delete;
    HeadlessGL& operator=(const HeadlessGL&) = delete;
    std::string Renderer() const;

private:
    HeadlessGL() = default;
    void* display_ = nullptr;
    void* context_ = nullptr;
};

} // namespace kestrin
