#include <clocale>

#include "tools/cli.h"

int main(int argc, char** argv) {
    // Reals are written and read the same way everywhere.
    std::setlocale(LC_ALL, "C");
    return kestrin::KestrinMain(argc, argv);
}
