#include <iostream>
#include <string>
#include <vector>

#include "StoreTool.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    const int code = quorv::storetool::RunStoreTool(args, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
