// A stand-in copy of the program for the numbering tests: takes a number under the names
// made from argv[1], prints it (0 when all are taken) and holds it until its input closes.
#include <cstdio>
#include <string>

#include "platform/instance_lock.h"

int main(int argc, char* argv[]) {
    if (argc != 2) return 2;
    auto numbered = pxr9::takeInstanceNumber(argv[1]);
    std::printf("%d\n", numbered ? numbered->number : 0);
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
