// The upload manifest as a server hands it back: any bytes.
#include "upload/Manifest.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto manifest = vidlume::upload::readManifest(text);
    if (!manifest)
        return 0;
    // What was accepted holds only safe paths and is written back to the same.
    for (const auto& [path, entry] : *manifest) {
        if (!vidlume::upload::isSafeRelativePath(path) || entry.sha256.size() != 64)
            std::abort();
    }
    if (vidlume::upload::readManifest(vidlume::upload::writeManifest(*manifest)) != manifest)
        std::abort();
    return 0;
}
