// Not a test: writes the crafted H.264 FLV of tests/CraftedFlv.h, for
// bench/hostile-bench.sh.
//   make_crafted_flv WIDTH HEIGHT METADATA_WIDTH METADATA_HEIGHT OUT
#include "CraftedFlv.h"

#include <cstdlib>
#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::cerr << "usage: make_crafted_flv WIDTH HEIGHT METADATA_WIDTH METADATA_HEIGHT OUT\n";
        return 2;
    }
    const auto number = [&](int i) { return static_cast<unsigned>(std::strtoul(argv[i], nullptr, 10)); };
    std::ofstream(argv[5], std::ios::binary) << vidlume::test::craftedH264Flv(number(1), number(2), number(3), number(4));
    return 0;
}
