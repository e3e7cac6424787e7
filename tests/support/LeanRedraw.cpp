// morv-lean: makes the hilly test maps the kill loop saves over.
//
//   morv-lean make SIDE FOLDER    writes FOLDER/hillsSIDE.bmp and its contour image
#include <cstdio>
#include <string>
#include <vector>

#include "BenchMaps.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() != 3 || args[0] != "make") {
        std::fprintf(stderr, "morv-lean: usage: morv-lean make SIDE FOLDER\n");
        return 1;
    }
    std::printf("%s\n", morv::bench::hillyMapFile(args[2], std::stoi(args[1])).c_str());
    return 0;
}
