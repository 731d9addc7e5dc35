// Every fuzz target starts from the game as the composition root wires it.
#include "game/compose.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kestrin::ComposeGame();
    return 0;
}
