#include "platform/gl/offscreen_graphics.h"

#include "graphics/graphics_init.h"
#include "platform/gl/egl_headless.h"
#include "platform/gl/gl_device.h"

namespace kestrin {

namespace {

class EglOffscreenGraphics : public OffscreenGraphics {
public:
    explicit EglOffscreenGraphics(std::unique_ptr<HeadlessGL> context) : context_(std::move(context)) {
        SetDeviceFactory([](int32_t width, int32_t height) -> std::unique_ptr<Device> {
            auto device = std::make_unique<GLDevice>(width, height);
            if (!device->Ok()) return nullptr;
            return device;
        });
    }
    ~EglOffscreenGraphics() override { SetDeviceFactory(nullptr); }

private:
    std::unique_ptr<HeadlessGL> context_;
};

} // namespace

std::unique_ptr<OffscreenGraphics> MakeOffscreenGraphics(std::string& error) {
    std::unique_ptr<HeadlessGL> context = HeadlessGL::Create(error);
    if (!context) return nullptr;
    return std::make_unique<EglOffscreenGraphics>(std::move(context));
}

} // namespace kestrin
