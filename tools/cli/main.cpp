#include <iostream>

#include "cli/Qic.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = quorv::cli::RunQic(args, std::cout, std::cerr);
    std::cout.flush();
    return std::cout.fail() && status == 0 ? 1 : status;
}
