// The MP4 conversion on arbitrary file contents: it must end with one of its
// statuses, write a complete file or none, and never leave anything behind on
// failure. Each input gets a bounded number of packets, so a long file costs
// no more than a short one.
#include "FuzzFile.h"
#include "media/ConvertToMp4.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/// A folder of its own for the MP4, taken away again when the fuzzer ends.
struct ScratchFolder
{
    ScratchFolder()
    {
        if (!::mkdtemp(path.data()))
            std::abort();
    }
    ~ScratchFolder() { ::rmdir(path.c_str()); }

    std::string path = "/tmp/vidlume-fuzz-mp4-XXXXXX";
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static vidlume::fuzz::FuzzFile file;
    static const ScratchFolder folder;
    static const std::string destination = folder.path + "/out.mp4";
    const std::string& source = file.write(data, size);

    int polls = 0;
    vidlume::ConvertObserver observer;
    observer.cancelRequested = [&polls] { return ++polls > 48; };
    const vidlume::ConvertResult result = vidlume::convertToMp4(source, destination, observer);

    struct stat info;
    const bool written = ::stat(destination.c_str(), &info) == 0;
    if (result.ok() != written)
        std::abort(); // a finished MP4 is there, any other outcome leaves none
    if (result.ok() && static_cast<std::uint64_t>(info.st_size) != result.bytes)
        std::abort();
    if (!result.ok() && result.status != vidlume::ConvertStatus::Cancelled && result.reason.empty())
        std::abort(); // the user is told why
    ::unlink(destination.c_str());
    return 0;
}
