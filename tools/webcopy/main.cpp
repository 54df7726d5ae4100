#include "WebCopyCli.h"

#include <unistd.h>

#include <iostream>

using namespace quorvel;

int main(int argc, char** argv) {
    return RunWebCopyCli(argc, argv, std::cout, std::cerr, ::isatty(STDOUT_FILENO) != 0, true);
}
