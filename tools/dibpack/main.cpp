#include "Dibpack.h"

#include <iostream>

int main(int argc, char** argv) {
    return dibpack::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
