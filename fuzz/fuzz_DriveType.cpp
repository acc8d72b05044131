// The mount table parser and the lookup of a path in it, on arbitrary table text.
#include "platform/DriveType.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vidlume::platform;
    FuzzedDataProvider input(data, size);
    const std::string path = input.ConsumeRandomLengthString(128);
    const bool removable = input.ConsumeBool();
    const std::string table = input.ConsumeRemainingBytesAsString();

    for (const auto& mount : parseMountTable(table)) {
        // Decoded fields come from one line's blank-separated fields.
        if (mount.mountPoint.empty() || mount.fsType.empty() || mount.source.empty())
            std::abort();
    }
    const DriveType type = driveTypeIn(table, path, [removable](const std::string&) { return removable; });
    if (static_cast<int>(type) < 0 || static_cast<int>(type) > 6)
        std::abort();
    return 0;
}
