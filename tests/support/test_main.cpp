// The tests' entry point: the game is wired by the same composition root as the kestrin
// command before any test runs.
#include <gtest/gtest.h>

#include <clocale>

#include "game/compose.h"
#include "platform/native/ffi_caller.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    testing::InitGoogleTest(&argc, argv);
    kestrin::ComposeGame();
    // Native calls, as the executable installs them, so the test library can be called.
    kestrin::SetNativeCaller(kestrin::MakeFfiNativeCaller());
    return RUN_ALL_TESTS();
}
