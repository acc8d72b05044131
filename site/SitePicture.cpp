#include "site/SitePicture.h"

#include "media/ConverterProtocol.h"
#include "media/PictureProtocol.h"
#include "platform/FileCopy.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vidlume::site {

namespace {

using Clock = std::chrono::steady_clock;

/// The longest a picture may take: a frame a tenth of the way in is found
/// by a seek, decoded, scaled and written within moments.
constexpr auto allowedTime = std::chrono::seconds(30);
constexpr std::uint64_t allowedCpuSeconds = 30;
constexpr std::uint64_t largestPicture = 16u << 20;
constexpr std::size_t longestLine = 64 * 1024;

/// Runs the converter's picture mode with the open video and the new file,
/// reading its lines into facts. Returns 0 when it wrote a picture.
int exchange(const std::string& program, int video, int destination, GalleryFacts& facts,
             const std::function<bool()>& cancelRequested, const ConverterBounds& bounds)
{
    platform::ChildProcess child;
    platform::ProcessLimits limits;
    limits.memoryBytes = bounds.memoryBytes;
    limits.cpuSeconds = allowedCpuSeconds;
    limits.fileBytes = largestPicture;
    if (const int error = child.start(program, {"picture"},
                                      {platform::nativeFileOf(video), platform::nativeFileOf(destination)}, limits)) {
        facts.reason = "the converter \"" + program + "\" cannot be started: " + platform::systemErrorText(error);
        return EIO;
    }
    const Clock::time_point started = Clock::now();
    std::string pending;
    bool finished = false;
    bool cancelled = false;
    for (;;) {
        if (cancelRequested && cancelRequested()) {
            cancelled = true;
            child.kill();
        }
        if (Clock::now() - started > allowedTime) {
            facts.reason = "the converter took longer than it may for a picture";
            child.kill();
        }
        const platform::ChannelRead read = child.receive(pending, 50);
        if (read == platform::ChannelRead::Closed)
            break;
        if (pending.size() > longestLine && pending.find('\n') == std::string::npos)
            child.kill();
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const auto message = converter::parsePictureMessage(std::string_view(pending).substr(0, end));
            pending.erase(0, end + 1);
            if (!message || finished)
                continue;
            using Kind = converter::PictureMessage::Kind;
            switch (message->kind) {
            case Kind::Facts:
                facts.readable = true;
                facts.durationMs = message->durationMs;
                facts.width = message->width;
                facts.height = message->height;
                break;
            case Kind::Title:
                facts.title = message->text;
                break;
            case Kind::Created:
                facts.date = dateOf(message->text);
                break;
            case Kind::Picture:
                finished = true;
                facts.picture = true;
                facts.pictureWidth = message->width;
                facts.pictureHeight = message->height;
                break;
            case Kind::NoPicture:
                finished = true;
                facts.reason = message->text;
                break;
            case Kind::Unusable:
                finished = true;
                facts.readable = false;
                facts.reason = message->text;
                break;
            }
        }
        if (!child.running() && read != platform::ChannelRead::Data)
            break;
    }
    const std::optional<platform::ProcessEnd> end = child.wait(-1);
    if (cancelled)
        return ECANCELED;
    if (!end || !end->success()) {
        facts.picture = false;
        if (facts.reason.empty())
            facts.reason = "the converter stopped (" + (end ? end->description() : std::string("no end")) + ")";
        return EIO;
    }
    return facts.picture ? 0 : EIO;
}

int monthOf(const std::string& name)
{
    static const std::array<const char*, 12> months{"jan", "feb", "mar", "apr", "may", "jun",
                                                    "jul", "aug", "sep", "oct", "nov", "dec"};
    std::string lower = name.substr(0, 3);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    for (std::size_t i = 0; i < months.size(); ++i)
        if (lower == months[i])
            return int(i) + 1;
    return 0;
}

std::string dateText(int year, int month, int day)
{
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

} // namespace

std::string dateOf(const std::string& created)
{
    int year = 0;
    int month = 0;
    int day = 0;
    char separator = 0;
    char separator2 = 0;
    // 2008-01-02T10:20:30Z, 2008-01-02 10:20:30, 2008:01:02 10:20:30
    if (std::sscanf(created.c_str(), "%4d%c%2d%c%2d", &year, &separator, &month, &separator2, &day) == 5 &&
        (separator == '-' || separator == ':') && separator2 == separator)
        return dateText(year, month, day);
    // Mon Jan 02 10:20:30 2008 (as C's asctime writes it)
    char weekday[8] = {};
    char monthName[8] = {};
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (std::sscanf(created.c_str(), "%7s %7s %d %d:%d:%d %d", weekday, monthName, &day, &hour, &minute, &second,
                    &year) == 7)
        return dateText(year, monthOf(monthName), day);
    return {};
}

GalleryFacts makeGalleryPicture(const std::string& converterProgram, const std::string& video,
                                const std::string& destination, const std::function<bool()>& cancelRequested,
                                const ConverterBounds& bounds)
{
    GalleryFacts facts;
    const int source = platform::openForReading(video);
    if (source < 0) {
        facts.reason = "it cannot be read: " + platform::systemErrorText(errno);
        return facts;
    }
    platform::writeNewFileWith(destination, [&](int fd, const std::string&) {
        return exchange(converterProgram, source, fd, facts, cancelRequested, bounds);
    });
    ::close(source);
    return facts;
}

} // namespace vidlume::site
