// Publishing's side of the converter program, against stand-in converters
// written in bash that behave well or badly on purpose.
#include "ScratchFolder.h"
#include "platform/Process.h"
#include "publish/RunConverter.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#ifdef _WIN32
#include "SystemWords_win.h"
#endif

using namespace vidlume;
using test::entriesOf;
using test::readFile;
using test::writeFile;

namespace {

class RunConverter : public ::testing::Test
{
protected:
    RunConverter() { writeFile(scratch.path("video.flv"), "FLV bytes"); }

#ifdef _WIN32
    /// A stand-in converter that follows the steps in body (see
    /// tests/windows/StandInConverter_win.cpp).
    std::string converter(const std::string& body)
    {
        const std::string path = scratch.path("bin/vidlume-convert.exe");
        if (!std::filesystem::exists(path)) {
            std::filesystem::create_directories(scratch.path("bin"));
            std::filesystem::copy_file(VIDLUME_STAND_IN_PATH, path);
        }
        writeFile(scratch.path("bin/behaviour.txt"), body);
        return path;
    }
#else
    /// A stand-in converter: body runs with S, D, R and C set to its handed
    /// files (source, destination, its reader, channel).
    std::string converter(const std::string& body)
    {
        const std::string path = scratch.path("bin/vidlume-convert");
        writeFile(path, "#!/bin/bash\nlast=${!#}\nIFS=, read -r S D R C <<<\"${last#--files=}\"\n" + body + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    }
#endif

    ConverterOutcome run(const std::string& program, const ConvertObserver& observer = {})
    {
        return convertInConverter(program, scratch.path("video.flv"), destination(), observer, bounds);
    }

    std::string destination() const { return scratch.path("out/video.mp4"); }

    test::ScratchFolder scratch;
    ConverterBounds bounds;
};

} // namespace

TEST_F(RunConverter, relaysProgressAndWarningsAndNamesTheMp4OnlyWhenDone)
{
    // The MP4 has no name until the converter is done.
#ifdef _WIN32
    const std::string program = converter("source FLV bytes\n"
                                          "say confined no new programs (job object)\n"
                                          "say progress 5 9\n"
                                          "write MP4 bytes\n"
                                          "absent " + destination() + "\n"
                                          "say warning its sound was damaged\\nhere, see C:\\\\video\n"
                                          "say done 9 copied reencoded\n");
#else
    const std::string program = converter(R"(
        [[ $(cat <&$S) == "FLV bytes" ]] || exit 1
        echo "confined seccomp filter" >&$C
        echo "progress 5 9" >&$C
        printf 'MP4 bytes' >&$D
        [[ -e ')" + destination() + R"(' ]] && exit 1
        echo 'warning its sound was damaged\nhere, see C:\\video' >&$C
        echo "done 9 copied reencoded" >&$C)");
#endif
    std::filesystem::create_directory(scratch.path("out"));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
    ConvertObserver observer;
    observer.onProgress = [&](std::uint64_t done, std::uint64_t total) { progress.emplace_back(done, total); };

    const ConverterOutcome outcome = run(program, observer);
    EXPECT_EQ(outcome.trouble, ConverterTrouble::None) << outcome.troubleReason;
    EXPECT_EQ(outcome.result.status, ConvertStatus::Done) << outcome.result.reason;
    EXPECT_EQ(outcome.result.video, StreamHandling::Copied);
    EXPECT_EQ(outcome.result.audio, StreamHandling::Reencoded);
    EXPECT_EQ(outcome.result.warnings, std::vector<std::string>{"its sound was damaged\nhere, see C:\\video"});
    EXPECT_EQ(progress, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{5, 9}}));
    EXPECT_EQ(readFile(destination()), "MP4 bytes");
}

TEST_F(RunConverter, aConverterThatStopsWithoutAnOutcomeLeavesNothingAndSaysWhy)
{
    std::filesystem::create_directory(scratch.path("out"));
    bounds.stallSeconds = 0.3;
    bounds.memoryBytes = 512u << 20;
    bounds.threads = 2;
    const std::string overTime =
        "it made no progress in " + std::string(platform::builtWithSanitizer() ? "1.5" : "0.3") + " s of work";
    const std::pair<const char*, std::string> cases[] = {
#ifdef _WIN32
        // Ended from outside, as a task manager ends it: not our kill.
        {"say progress 1 9\nwrite half\nterminate 1", "it ended without an outcome, with status 1"},
        {"write half\ncrash", "it crashed (exception 0xC0000005)"},
        {"write half\nexit 0", "it ended without an outcome, with status 0"},
        {"say done 4 copied none\nexit 1", "it ended without an outcome, with status 1"},
        {"exit 3", "it ran out of its 512 MiB of memory"},
        {"say cancelled", "it broke off the conversion"},
        {"write half\nspin", overTime},
        {"flood 70000\nsleep 30000", "it was killed"},
#else
        {"echo 'progress 1 9' >&$C; printf half >&$D; kill -KILL $$", "it was killed"},
        {"printf half >&$D; kill -SEGV $$", "it crashed (Segmentation fault)"},
        {"printf half >&$D; exit 0", "it ended without an outcome, with status 0"},
        {"echo 'done 4 copied none' >&$C; exit 1", "it ended without an outcome, with status 1"},
        {"exit 3", "it ran out of its 512 MiB of memory"},
        {"echo cancelled >&$C", "it broke off the conversion"},
        {"printf half >&$D; while :; do :; done", overTime},
        {"head -c 70000 /dev/zero | tr '\\0' x >&$C; exec sleep 30", "it was killed"},
#endif
    };
    for (const auto& [body, reason] : cases) {
        const ConverterOutcome outcome = run(converter(body));
        EXPECT_EQ(outcome.trouble, ConverterTrouble::Stopped) << body;
        EXPECT_EQ(outcome.troubleReason, reason) << body;
        EXPECT_EQ(outcome.result.status, ConvertStatus::Unusable) << body;
        EXPECT_TRUE(outcome.result.warnings.empty()) << body;
        EXPECT_TRUE(entriesOf(scratch.path("out")).empty()) << body << ": nothing of the MP4 is left";
    }
}

TEST_F(RunConverter, aCancelWinsWithinTheGraceTimeWhetherTheConverterListensOrNot)
{
    std::filesystem::create_directory(scratch.path("out"));
    bounds.stopGraceMs = 300;
#ifdef _WIN32
    const char* const listens = "say progress 1 9\nawait-cancel\n";
    const char* const deaf = "say progress 1 9\nwrite half\nspin\n";
#else
    const char* const listens = R"(
        echo "progress 1 9" >&$C
        read -r line <&$C
        [[ $line == cancel ]] && echo cancelled >&$C)";
    const char* const deaf = R"(
        trap '' TERM INT HUP
        echo "progress 1 9" >&$C
        printf half >&$D
        while :; do :; done)";
#endif
    for (const char* body : {listens, deaf}) {
        bool cancel = false;
        std::chrono::steady_clock::time_point asked;
        ConvertObserver observer;
        observer.onProgress = [&](std::uint64_t, std::uint64_t) {
            cancel = true;
            asked = std::chrono::steady_clock::now();
        };
        observer.cancelRequested = [&] { return cancel; };
        const ConverterOutcome outcome = run(converter(body), observer);
        const auto took = std::chrono::steady_clock::now() - asked;
        EXPECT_EQ(outcome.result.status, ConvertStatus::Cancelled) << body;
        EXPECT_EQ(outcome.trouble, ConverterTrouble::None) << body;
        EXPECT_LT(took, std::chrono::seconds(1)) << body;
        EXPECT_TRUE(entriesOf(scratch.path("out")).empty()) << body;
    }
}

TEST_F(RunConverter, aMissingConverterIsNamedAndNothingIsMade)
{
    std::filesystem::create_directory(scratch.path("out"));
#ifdef _WIN32
    const ConverterOutcome outcome = run(scratch.path("bin/vidlume-convert.exe"));
    const std::string notFound = test::systemWords(ERROR_PATH_NOT_FOUND);
#else
    const ConverterOutcome outcome = run(scratch.path("bin/vidlume-convert"));
    const std::string notFound = "No such file or directory";
#endif
    EXPECT_EQ(outcome.trouble, ConverterTrouble::NotStarted);
    EXPECT_EQ(outcome.troubleReason, notFound);
    EXPECT_TRUE(entriesOf(scratch.path("out")).empty());
}

TEST_F(RunConverter, workThatKeepsReportingProgressIsNeverStoppedHoweverSmallTheFile)
{
    // A few bytes that decode to minutes of video: work many times the
    // allowance, each part of it followed by progress, then a stall.
    std::filesystem::create_directory(scratch.path("out"));
    bounds.stallSeconds = 0.2;
    const double allowance = platform::builtWithSanitizer() ? 1.0 : 0.2;
    const int parts = static_cast<int>(8 * allowance / 0.1);
    std::string works;
#ifdef _WIN32
    for (int part = 0; part < parts; ++part)
        works += "busy 100\nsay progress 1 9\n";
    const std::string honest = works + "write MP4 bytes\nsay done 9 reencoded none\n";
    const std::string stalls = works + "write half\nspin\n";
#else
    works = "for ((part = 0; part < " + std::to_string(parts) + R"(; ++part)); do
            end=$((${EPOCHREALTIME/./} + 100000)); while ((${EPOCHREALTIME/./} < end)); do :; done
            echo 'progress 1 9' >&$C
        done
)";
    const std::string honest = works + "printf 'MP4 bytes' >&$D; echo 'done 9 reencoded none' >&$C";
    const std::string stalls = works + "printf half >&$D; while :; do :; done";
#endif
    const auto started = std::chrono::steady_clock::now();
    ConverterOutcome outcome = run(converter(honest));
    EXPECT_EQ(outcome.trouble, ConverterTrouble::None) << outcome.troubleReason;
    EXPECT_EQ(outcome.result.status, ConvertStatus::Done);
    EXPECT_GT(std::chrono::steady_clock::now() - started, std::chrono::duration<double>(4 * allowance));
    EXPECT_EQ(readFile(destination()), "MP4 bytes");

    std::filesystem::remove(destination());
    outcome = run(converter(stalls));
    EXPECT_EQ(outcome.trouble, ConverterTrouble::Stopped);
    EXPECT_EQ(outcome.troubleReason, "it made no progress in " + std::string(allowance == 0.2 ? "0.2" : "1") +
                                         " s of work");
    EXPECT_TRUE(entriesOf(scratch.path("out")).empty());
}
