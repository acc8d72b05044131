// The FLV probe on arbitrary file contents: it must end with one of its statuses,
// read only inside the file and stay within its walk limits.
#include "FuzzFile.h"
#include "media/FlvCodec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static vidlume::fuzz::FuzzFile file;
    const auto probe = vidlume::probeFlvVideoCodec(file.write(data, size));
    using vidlume::FlvProbeStatus;
    switch (probe.status) {
    case FlvProbeStatus::Video:
        if (probe.codecId < 0 || probe.codecId > 15)
            std::abort();
        break;
    case FlvProbeStatus::Unreadable: // a plain file that we just wrote is readable
        std::abort();
    default:
        break;
    }
    // The warning text is built from the probe for every status.
    (void)vidlume::html5CodecWarning(probe, "v.flv");
    return 0;
}
