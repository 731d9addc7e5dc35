#pragma once
// A fixture for pixel tests on the OpenGL device over a headless EGL context (llvmpipe where
// there is no GPU), skipped where no such context exists; built-ins are called by name.

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>

#include "graphics/background.h"
#include "graphics/graphics_draw.h"
#include "graphics/render_state.h"
#include "keep_drivers.h"
#include "platform/gl/egl_headless.h"
#include "platform/gl/gl_device.h"
#include "script/registry.h"
#include "script/value.h"

namespace kestrin::testing {

class GLPixelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        context_ = HeadlessGL::Create(error).release();
        if (!context_) reason_ = error;
        KeepDriverLibrariesLoaded();
    }
    static void TearDownTestSuite() {
        delete context_;
        context_ = nullptr;
    }
    void StartDevice(int32_t w, int32_t h) {
        if (!context_) GTEST_SKIP() << "no headless OpenGL: " << reason_;
        device_ = std::make_unique<GLDevice>(256, 256);
        ASSERT_TRUE(device_->Ok()) << device_->Error();
        Draw_Reset();
        RenderState_Set3DMode(false);
        RenderState_SetBlendMode(0);
        RenderState_SetInterpolation(false);
        RenderState_SetTextureRepeat(false);
        ASSERT_TRUE(RenderState_Init(device_.get(), w, h, false));
        Call("draw_clear", {0});
    }
    void TearDown() override {
        if (!device_) return;
        Background_ClearAll();
        RenderState_Finish();
        device_.reset();
    }
    static double Call(const char* name, std::initializer_list<double> args) {
        const int32_t index = FindFunction(name);
        EXPECT_GE(index, 0) << name;
        if (index < 0) return 0;
        RValue slots[16];
        int32_t n = 0;
        for (double a : args) slots[n++] = RValue(a);
        RValue result;
        FunctionRoutine(index)(nullptr, nullptr, n, slots, result);
        return result.val();
    }
    static int Channel(TColor32 c, int shift) { return int(c >> shift & 0xFF); }
    // Largest difference of the colour channels (alpha ignored).
    static int Distance(TColor32 a, TColor32 b) {
        int d = 0;
        for (int shift = 0; shift < 24; shift += 8)
            d = std::max(d, std::abs(Channel(a, shift) - Channel(b, shift)));
        return d;
    }

    static HeadlessGL* context_;
    static std::string reason_;
    std::unique_ptr<GLDevice> device_;
};

inline HeadlessGL* GLPixelTest::context_ = nullptr;
inline std::string GLPixelTest::reason_;

} // namespace kestrin::testing
