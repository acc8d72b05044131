// vidlume-convert: makes the MP4 for browsers for publishing, in a process of
// its own, shut off from the network and from every file it was not handed.
// Publishing starts it; docs/converter-protocol.md describes the exchange.
//   vidlume-convert convert [--threads=N] --files=SOURCE,DESTINATION,DESTINATION_READER,CHANNEL
//   vidlume-convert probe --files=SOURCE,CHANNEL
//   vidlume-convert picture --files=SOURCE,PICTURE,CHANNEL
#include "convert/AllocationWatch.h"
#include "convert/PictureMode.h"
#include "media/ConvertToMp4.h"
#include "media/ConverterProtocol.h"
#include "platform/Process.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <optional>
#include <string>
#include <thread>

using namespace vidlume;

namespace {

std::atomic<bool> cancelled{false};

/// Listens to publishing: a cancel, or the channel's end (publishing is
/// gone), stops the conversion.
void listenForCancel(platform::NativeFile channel)
{
    converter::MessageReader reader;
    std::string bytes;
    for (;;) {
        bytes.clear();
        if (platform::readChannel(channel, bytes) <= 0)
            break;
        reader.add(bytes);
        while (const auto message = reader.next())
            if (message->kind == converter::Message::Kind::Cancel)
                cancelled = true;
        if (reader.overlong())
            break;
    }
    cancelled = true;
}

bool ranOutOfMemory(const ConvertResult& result)
{
    return convert::allocationFailed() || result.error == ENOMEM || result.reason.find("out of memory") != std::string::npos ||
           result.reason.find(std::strerror(ENOMEM)) != std::string::npos;
}

/// The N of "--threads=N": 1 to 64, else nothing.
std::optional<int> threadsOf(const std::string& argument)
{
    const std::string prefix = "--threads=";
    if (argument.compare(0, prefix.size(), prefix) != 0 || argument.size() == prefix.size() ||
        argument.size() > prefix.size() + 2)
        return std::nullopt;
    int threads = 0;
    for (const char c : argument.substr(prefix.size())) {
        if (c < '0' || c > '9')
            return std::nullopt;
        threads = threads * 10 + (c - '0');
    }
    if (threads < 1 || threads > 64)
        return std::nullopt;
    return threads;
}

[[noreturn]] void outOfMemory()
{
    std::_Exit(converter::exitOutOfMemory);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc == 3 || argc == 4 ? argv[1] : "";
    const std::optional<int> threads = argc == 4 ? threadsOf(argv[2]) : std::optional<int>(0);
    const auto files = mode.empty() ? std::nullopt : platform::handedFiles(argv[argc - 1]);
    const std::size_t wanted = mode == "convert" ? 4 : mode == "probe" ? 2 : mode == "picture" ? 3 : 0;
    if (wanted == 0 || !threads || !files || files->size() != wanted) {
        std::fprintf(stderr, "vidlume-convert is started by Vidlume's publishing, not by hand.\n"
                             "usage: vidlume-convert convert|probe|picture [--threads=N] --files=N,...\n");
        return 2;
    }
    const platform::NativeFile channel = files->back();

    // Few malloc arenas: each thread's own would reserve 64 MiB of the
    // address space limit, which the encoder's many threads would use up.
#ifdef M_ARENA_MAX
    ::mallopt(M_ARENA_MAX, 2);
#endif
    std::set_new_handler(outOfMemory);

    // Every library is loaded by now; from here on nothing is opened by name.
    const platform::Confinement confinement = platform::confineThisProcess();
    platform::writeChannel(channel, converter::confinedMessage(confinement.description()));
    std::thread(listenForCancel, channel).detach();

    if (mode == "picture")
        return convert::runPictureMode(*files, [] { return cancelled.load(); });
    if (mode == "probe") {
        const bool ready = isBrowserReadyMp4(platform::fileNumberOf((*files)[0]));
        return platform::writeChannel(channel, converter::readyMessage(ready)) == 0 ? 0 : 1;
    }

    ConvertObserver observer;
    observer.cancelRequested = [] { return cancelled.load(); };
    observer.onProgress = [channel](std::uint64_t done, std::uint64_t total) {
        platform::writeChannel(channel, converter::progressMessage(done, total));
    };
    const Mp4Files mp4{platform::fileNumberOf((*files)[0]), platform::fileNumberOf((*files)[1]),
                       platform::fileNumberOf((*files)[2])};
    Mp4Settings settings;
    settings.threads = *threads;
    const ConvertResult result = convertToMp4(mp4, observer, settings);
    if (!result.ok() && result.status != ConvertStatus::Cancelled && ranOutOfMemory(result))
        return converter::exitOutOfMemory;
    for (const std::string& warning : result.warnings)
        platform::writeChannel(channel, converter::warningMessage(warning));
    return platform::writeChannel(channel, converter::outcomeMessage(result)) == 0 ? 0 : 1;
}
