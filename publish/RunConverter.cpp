#include "publish/RunConverter.h"

#include "media/ConverterProtocol.h"
#include "publish/ConverterErrorLine.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <sys/stat.h>

namespace vidlume {

namespace {

using Clock = std::chrono::steady_clock;

/// How often a waiting parent looks at its cancel request.
constexpr int pollMs = 50;
/// How often the parent looks at the converter's processor time.
constexpr int cpuLookMs = 250;

/// The conversion's threads: as many as asked, else one per processor.
int threadsFor(const ConverterBounds& bounds)
{
    if (bounds.threads > 0)
        return std::min(bounds.threads, 64);
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
}

std::uint64_t memoryFor(const ConverterBounds& bounds)
{
    const int beyondTwo = std::max(0, threadsFor(bounds) - 2);
    return bounds.memoryBytes + static_cast<std::uint64_t>(beyondTwo) * bounds.memoryPerThreadBytes;
}

platform::ProcessLimits limitsFor(const ConverterBounds& bounds, std::uint64_t sourceBytes)
{
    platform::ProcessLimits limits;
    limits.memoryBytes = memoryFor(bounds);
    const std::uint64_t mib = (sourceBytes + (1u << 20) - 1) >> 20;
    limits.cpuSeconds = bounds.cpuSecondsBase + bounds.cpuSecondsPerMiB * mib;
    // A re-encode may outgrow its source, never by this much.
    limits.fileBytes = (256ull << 20) + 16 * sourceBytes;
    return limits;
}

/// How much work without progress makes a converter stuck.
Clock::duration stallAllowed(const ConverterBounds& bounds)
{
    double seconds = bounds.stallSeconds;
    if (platform::builtWithSanitizer())
        seconds *= 5;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

std::string secondsText(Clock::duration duration)
{
    const auto tenths = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count() / 100;
    return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "") + " s";
}

std::string stopReason(const platform::ProcessEnd& end, const ConverterBounds& bounds)
{
    if (end.kind == platform::ProcessEnd::Kind::Exited && end.code == converter::exitOutOfMemory)
        return "it ran out of its " + std::to_string(memoryFor(bounds) >> 20) + " MiB of memory";
    if (end.kind == platform::ProcessEnd::Kind::Exited)
        return "it ended without an outcome, with status " + std::to_string(end.code);
    return end.description();
}

/// One run of the converter: relays what it says until it ends, asks it to
/// stop on a cancel and kills it when it does not in time.
class ConverterExchange
{
public:
    ConverterExchange(const ConvertObserver& observer, const ConverterBounds& bounds)
        : m_observer(observer), m_bounds(bounds)
    {
    }

    int start(const std::string& program, const char* mode, const std::vector<platform::NativeFile>& files,
              std::uint64_t sourceBytes)
    {
        std::vector<std::string> arguments{mode};
        if (std::string(mode) == "convert")
            arguments.push_back("--threads=" + std::to_string(threadsFor(m_bounds)));
        m_child.onErrorLine([](std::string_view line) {
            if (const auto text = converterErrorLine(line)) {
                std::fprintf(stderr, "%s\n", text->c_str());
                std::fflush(stderr);
            }
        });
        return m_child.start(program, arguments, files, limitsFor(m_bounds, sourceBytes));
    }

    /// Runs until the converter has ended (or was killed). Returns true when
    /// the caller asked to stop meanwhile. A converter is killed once it has
    /// used `stall` of processor time since it last reported progress, or ten
    /// times that on the clock (where the system does not tell processor
    /// time: `stall` on the clock).
    bool run(std::optional<Clock::duration> stall = std::nullopt)
    {
        // The converter's processor time is read from the system, so it is
        // looked at a few times a second, not after every message; progress
        // seen since the last look starts the count again.
        Clock::time_point lookedAtTime = Clock::now();
        Clock::time_point stillSince = lookedAtTime;
        std::optional<double> cpuStillSince = m_child.cpuSeconds();
        const auto stuck = [&] {
            const Clock::time_point now = Clock::now();
            if (!stall || now - lookedAtTime < std::chrono::milliseconds(cpuLookMs))
                return false;
            lookedAtTime = now;
            const std::optional<double> cpu = m_child.cpuSeconds();
            if (m_progressed) {
                m_progressed = false;
                stillSince = now;
                cpuStillSince = cpu;
                return false;
            }
            const Clock::duration onClock = now - stillSince;
            if (!cpu || !cpuStillSince)
                return onClock > *stall;
            return std::chrono::duration<double>(*cpu - *cpuStillSince) > *stall || onClock > 10 * *stall;
        };
        bool channelOpen = true;
        std::string bytes;
        for (;;) {
            if (!m_askedToStop && cancelRequested()) {
                m_askedToStop = Clock::now();
                m_child.send(converter::cancelMessage());
            }
            if (m_askedToStop && Clock::now() - *m_askedToStop > std::chrono::milliseconds(m_bounds.stopGraceMs))
                m_child.kill();
            if (!m_timedOut && stuck()) {
                m_timedOut = true;
                m_child.kill();
            }
            if (!channelOpen || m_child.wait(0)) {
                if (m_child.wait(pollMs))
                    break;
                continue;
            }
            bytes.clear();
            const platform::ChannelRead read = m_child.receive(bytes, pollMs);
            if (read == platform::ChannelRead::Closed)
                channelOpen = false;
            if (read != platform::ChannelRead::Data)
                continue;
            m_messages.add(bytes);
            while (const auto message = m_messages.next())
                take(*message);
            if (m_messages.overlong()) // not our converter's talk
                m_child.kill();
        }
        // Whatever is still in the channel after the end.
        bytes.clear();
        while (channelOpen && m_child.receive(bytes, 0) == platform::ChannelRead::Data) {
        }
        m_messages.add(bytes);
        while (const auto message = m_messages.next())
            take(*message);
        m_end = m_child.wait(-1);
        return m_askedToStop.has_value();
    }

    const std::optional<converter::Message>& outcome() const { return m_outcome; }
    const std::optional<converter::Message>& ready() const { return m_ready; }
    const std::vector<std::string>& warnings() const { return m_warnings; }
    const std::optional<platform::ProcessEnd>& end() const { return m_end; }
    bool timedOut() const { return m_timedOut; }

private:
    bool cancelRequested() const { return m_observer.cancelRequested && m_observer.cancelRequested(); }

    void take(const converter::Message& message)
    {
        using Kind = converter::Message::Kind;
        switch (message.kind) {
        case Kind::Progress:
            m_progressed = true;
            if (m_observer.onProgress && !m_outcome)
                m_observer.onProgress(message.done, message.total);
            break;
        case Kind::Warning:
            m_warnings.push_back(message.text);
            break;
        case Kind::Outcome:
            if (!m_outcome)
                m_outcome = message;
            break;
        case Kind::Ready:
            m_ready = message;
            break;
        case Kind::Confined:
        case Kind::Cancel:
            break;
        }
    }

    const ConvertObserver& m_observer;
    const ConverterBounds& m_bounds;
    platform::ChildProcess m_child;
    converter::MessageReader m_messages;
    std::optional<Clock::time_point> m_askedToStop;
    std::optional<converter::Message> m_outcome;
    std::optional<converter::Message> m_ready;
    std::vector<std::string> m_warnings;
    std::optional<platform::ProcessEnd> m_end;
    bool m_timedOut = false;
    bool m_progressed = false; ///< since the last look at its processor time
};

ConvertResult unusable(std::string reason)
{
    ConvertResult result;
    result.status = ConvertStatus::Unusable;
    result.reason = std::move(reason);
    return result;
}

} // namespace

ConverterOutcome convertInConverter(const std::string& program, const std::string& source,
                                    const std::string& destination, const ConvertObserver& observer,
                                    const ConverterBounds& bounds, const platform::CopyTuning& tuning)
{
    ConverterOutcome outcome;
    const platform::UniqueFd input(platform::openForReading(source));
    if (input.fd() < 0) {
        outcome.result = unusable("it cannot be read: " + platform::systemErrorText(errno));
        return outcome;
    }
    struct stat info;
    const std::uint64_t sourceBytes =
        ::fstat(input.fd(), &info) == 0 && info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;

    const platform::CopyResult written =
        platform::writeNewFileWith(destination, [&](int fd, const std::string& openPath) {
            // The muxer reads back what it wrote to move the index to the front.
            const platform::UniqueFd reader(platform::openForReading(openPath));
            if (reader.fd() < 0)
                return errno;
            ConverterExchange exchange(observer, bounds);
            if (const int error = exchange.start(program, "convert",
                                                    {platform::nativeFileOf(input.fd()), platform::nativeFileOf(fd),
                                                     platform::nativeFileOf(reader.fd())},
                                                    sourceBytes)) {
                outcome.trouble = ConverterTrouble::NotStarted;
                outcome.troubleReason = platform::systemErrorText(error);
                return EIO;
            }
            const Clock::duration stall = stallAllowed(bounds);
            if (exchange.run(stall))
                return ECANCELED; // a cancel wins, whatever the converter said last
            const auto& said = exchange.outcome();
            if (exchange.timedOut()) {
                outcome.trouble = ConverterTrouble::Stopped;
                outcome.troubleReason = "it made no progress in " + secondsText(stall) + " of work";
                return EIO;
            }
            if (!said || !exchange.end() || !exchange.end()->success()) {
                outcome.trouble = ConverterTrouble::Stopped;
                outcome.troubleReason = stopReason(*exchange.end(), bounds);
                return EIO;
            }
            outcome.result = said->result;
            outcome.result.warnings = exchange.warnings();
            switch (outcome.result.status) {
            case ConvertStatus::Done:
                return 0;
            case ConvertStatus::Cancelled:
                // A converter that stops unasked broke off: nothing asked it to.
                outcome.trouble = ConverterTrouble::Stopped;
                outcome.troubleReason = "it broke off the conversion";
                return EIO;
            case ConvertStatus::WriteFailed:
                return outcome.result.error > 0 ? outcome.result.error : EIO;
            default:
                return EIO;
            }
        }, tuning);

    using platform::CopyFailure;
    switch (written.failure) {
    case CopyFailure::None:
        outcome.result.bytes = written.bytes;
        break;
    case CopyFailure::Cancelled:
        outcome.result = ConvertResult{};
        outcome.result.status = ConvertStatus::Cancelled;
        outcome.result.reason = "cancelled";
        break;
    case CopyFailure::DestinationExists:
        outcome.result = ConvertResult{};
        outcome.result.status = ConvertStatus::DestinationExists;
        outcome.result.reason = "a file of that name is already there";
        break;
    default:
        if (outcome.trouble != ConverterTrouble::None) {
            outcome.result = unusable(outcome.troubleReason);
        } else if (outcome.result.status == ConvertStatus::Done ||
                   outcome.result.status == ConvertStatus::WriteFailed) {
            // The converter finished, but the file could not be given its name.
            outcome.result.status = ConvertStatus::WriteFailed;
            outcome.result.error = written.error;
            outcome.result.reason = platform::systemErrorText(written.error);
        }
        if (outcome.result.status != ConvertStatus::Done)
            outcome.result.warnings.clear();
        break;
    }
    if (outcome.result.status != ConvertStatus::Done) {
        outcome.result.video = outcome.result.audio = StreamHandling::None;
    }
    return outcome;
}

bool browserReadyInConverter(const std::string& program, const std::string& path, const ConverterBounds& bounds)
{
    const platform::UniqueFd input(platform::openForReading(path));
    struct stat info;
    if (input.fd() < 0 || ::fstat(input.fd(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0)
        return false;
    const ConvertObserver observer;
    ConverterExchange exchange(observer, bounds);
    if (exchange.start(program, "probe", {platform::nativeFileOf(input.fd())}, 0) != 0)
        return false;
    // A look at the file's index takes a moment; a converter that takes
    // longer is stuck, and the video is then no browser-ready MP4 to us.
    exchange.run(std::chrono::seconds(10));
    return exchange.ready() && exchange.ready()->done == 1 && exchange.end() && exchange.end()->success();
}

} // namespace vidlume
