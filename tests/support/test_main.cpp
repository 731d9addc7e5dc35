// The tests' entry point: the game is wired by the same composition root as the kestrin
// command before any test runs.
#include <gtest/gtest.h>

#include <clocale>

#include "game/compose.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    testing::InitGoogleTest(&argc, argv);
    kestrin::ComposeGame();
    return RUN_ALL_TESTS();
}
