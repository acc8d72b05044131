// Not part of the product: converts one video to MP4 as publishing does, for
// bench/convert-bench.sh and for looking at the converter by hand.
//   convert_mp4 SOURCE DESTINATION
#include "media/ConvertToMp4.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: convert_mp4 SOURCE DESTINATION\n");
        return 2;
    }
    const vidlume::ConvertResult result = vidlume::convertToMp4(argv[1], argv[2]);
    const char* handling[] = {"none", "copied", "re-encoded"};
    std::fprintf(stderr, "video %s, sound %s\n", handling[static_cast<int>(result.video)],
                 handling[static_cast<int>(result.audio)]);
    for (const std::string& warning : result.warnings)
        std::fprintf(stderr, "warning: %s\n", warning.c_str());
    if (!result.ok()) {
        std::fprintf(stderr, "failed: %s\n", result.reason.c_str());
        return 1;
    }
    return 0;
}
