#include "CraftedFlv.h"
#include "ScratchFolder.h"
#include "app/Error.h"
#include "page/BuildPlayerPage.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "publish/ClaimNewFolder.h"
#include "publish/Publish.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#ifdef _WIN32
#include "SystemWords_win.h"
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif

using namespace vidlume;
using test::entriesOf;
using test::patternBytes;
using test::readFile;
using test::writeFile;

namespace {

using Names = std::set<std::string>;

#ifdef _WIN32
const char* const converterName = "vidlume-convert.exe";

/// A file held open by another program that lets nobody else read, write or
/// delete it, as long as this lives.
class LockedFile
{
public:
    explicit LockedFile(const std::string& path)
        : m_handle(::CreateFileW(test::fsPath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~LockedFile() { ::CloseHandle(m_handle); }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    bool locked() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

/// True under Wine, which does not enforce everything Windows does.
bool runsUnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}
#else
const char* const converterName = "vidlume-convert";
#endif

class Publish : public ::testing::Test
{
protected:
    Publish()
    {
        writeFile(program("flvplayer1.swf"), "player bytes");
#ifdef _WIN32
        std::error_code linked;
        std::filesystem::create_hard_link(VIDLUME_CONVERT_PATH, program(converterName), linked);
        if (linked)
            std::filesystem::copy_file(VIDLUME_CONVERT_PATH, program(converterName));
#else
        std::filesystem::create_symlink(VIDLUME_CONVERT_PATH, program(converterName));
#endif
        writeFile(scratch.path("videos/holiday.flv"), patternBytes(200000));
        inputs.videoFile = scratch.path("videos/holiday.flv");
        inputs.outputDir = scratch.path("out");
    }

    std::string program(const std::string& name) const { return scratch.path("program/" + name); }
    std::string out(const std::string& name = {}) const { return scratch.path("out/" + name); }
    PublishResult publish(const PublishControl& control = {})
    {
        return publishGeneration(inputs, scratch.path("program"), control);
    }

    test::ScratchFolder scratch;
    PageInputs inputs;
};

} // namespace

TEST_F(Publish, placesTheVideoPlayerImagesAndThePageInANewFolder)
{
    inputs.outputDir = scratch.path("not/yet/there");
    writeFile(scratch.path("images/poster.jpg"), "poster");
    writeFile(scratch.path("images/logo.png"), "logo");
    inputs.thumbnail = inputs.logo = true;
    inputs.thumbnailImage = scratch.path("images/poster.jpg");
    inputs.logoImage = scratch.path("images/logo.png");

    const PublishResult result = publish();
    EXPECT_EQ(result.folder, scratch.path("not/yet/there/holiday"));
    EXPECT_TRUE(result.leftOut.empty());
    EXPECT_EQ(entriesOf(result.folder),
              (Names{"holiday.flv", "flvplayer1.swf", "poster.jpg", "logo.png", "index.htm"}));
    EXPECT_EQ(readFile(result.folder + "/holiday.flv"), readFile(inputs.videoFile));
    EXPECT_EQ(readFile(result.folder + "/logo.png"), "logo");
    EXPECT_EQ(readFile(result.folder + "/index.htm"), BuildPlayerPage(inputs));
}

TEST_F(Publish, aLogoAtOpacityZeroGivesANoticeOnly)
{
    writeFile(scratch.path("images/logo.png"), "logo");
    inputs.logoImage = scratch.path("images/logo.png");
    const std::vector<std::string> notice{"The logo's opacity is 0, so visitors will not see it."};

    inputs.logo = true;
    PublishResult result = publish();
    EXPECT_EQ(result.warnings, notice);
    EXPECT_TRUE(result.leftOut.empty());
    EXPECT_EQ(readFile(result.folder + "/logo.png"), "logo");

    inputs.logoAlpha = 1;
    EXPECT_TRUE(publish().warnings.empty());
    inputs.logo = false;
    inputs.logoAlpha = 0;
    EXPECT_TRUE(publish().warnings.empty()) << "no logo, nothing to see";
}

TEST_F(Publish, eachGenerationTakesTheNextFreeNameAndFillsGaps)
{
    EXPECT_EQ(publish().folder, out("holiday"));
    EXPECT_EQ(publish().folder, out("holiday_(new)"));
    EXPECT_EQ(publish().folder, out("holiday_(new_1)"));
    EXPECT_EQ(entriesOf(out("holiday")), (Names{"holiday.flv", "flvplayer1.swf", "index.htm"}));

    std::filesystem::remove_all(out("holiday_(new)"));
    std::filesystem::create_directory(out("holiday_(new_2)"));
    EXPECT_EQ(publish().folder, out("holiday_(new)"));
    EXPECT_EQ(publish().folder, out("holiday_(new_3)"));

    // Anything of that name counts as taken, a plain file as much as a folder.
    writeFile(out("my.trip"), "a note");
    inputs.videoFile = scratch.path("videos/my.trip.flv");
    writeFile(inputs.videoFile, "trip");
    EXPECT_EQ(publish().folder, out("my.trip_(new)"));
    EXPECT_EQ(readFile(out("my.trip")), "a note");
    EXPECT_TRUE(platform::fileExists(out("my.trip_(new)/my.trip.flv")));
}

TEST_F(Publish, nameTakenBetweenProbeAndClaimGivesTheNextName)
{
    std::filesystem::create_directories(out("holiday_(new)"));
    writeFile(out("holiday/theirs.txt"), "theirs");
    const auto staleProbe = [](const std::string& base) { return base; };

    const ClaimedFolder claimed = claimNewFolder(out("holiday"), staleProbe);
    EXPECT_EQ(claimed.error, 0);
    EXPECT_EQ(claimed.path, out("holiday_(new_1)"));
    EXPECT_TRUE(platform::directoryExists(claimed.path));
    EXPECT_EQ(entriesOf(out("holiday")), Names{"theirs.txt"});

    EXPECT_EQ(claimNewFolder(scratch.path("no/parent/holiday")).error, ENOENT);
}

TEST_F(Publish, imagesAreCopiedOnlyWhenCheckedAndEachNameOnce)
{
    writeFile(scratch.path("a/pic.png"), "poster picture");
    writeFile(scratch.path("b/pic.png"), "another picture");
    inputs.thumbnailImage = inputs.logoImage = scratch.path("a/pic.png");
    EXPECT_EQ(entriesOf(publish().folder), (Names{"holiday.flv", "flvplayer1.swf", "index.htm"}));

    inputs.thumbnail = inputs.logo = true;
    PublishResult result = publish();
    EXPECT_TRUE(result.leftOut.empty());
    EXPECT_EQ(readFile(result.folder + "/pic.png"), "poster picture");

    inputs.logoImage = scratch.path("b/pic.png");
    result = publish();
    EXPECT_EQ(readFile(result.folder + "/pic.png"), "poster picture");
    ASSERT_EQ(result.leftOut.size(), 1u);
    EXPECT_EQ(describeLeftOut(result.leftOut[0]),
              "\"pic.png\" was not copied: the poster image has the same name");

    // A poster that is not there does not keep the logo of its name out, and
    // its line says that the logo serves both; the one missing file named
    // twice is reported once.
    inputs.thumbnailImage = scratch.path("deleted/pic.png");
    result = publish();
    EXPECT_EQ(readFile(result.folder + "/pic.png"), "another picture");
    ASSERT_EQ(result.leftOut.size(), 1u);
    EXPECT_EQ(describeLeftOut(result.leftOut[0]),
              "the poster image \"" + inputs.thumbnailImage +
                  "\" does not exist; the logo image of that name serves both");

    inputs.logoImage = inputs.thumbnailImage;
    EXPECT_EQ(publish().leftOut.size(), 1u);
}

#ifndef _WIN32
namespace {

/// Runs f as the ordinary user "nobody" when the tests run as root, whom no
/// file mode stops; f's failures show in the exit status. Returns false when
/// f failed.
template <typename F> bool asOrdinaryUser(const test::ScratchFolder& scratch, F f)
{
    if (::geteuid() != 0)
        return f();
    std::filesystem::permissions(scratch.path(), std::filesystem::perms::all);
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 && f();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

TEST_F(Publish, posterThatCannotBeReadLeavesItsNameToTheLogo)
{
    writeFile(scratch.path("pa/pic.png"), "unreadable poster");
    writeFile(scratch.path("pb/pic.png"), "logo picture");
    std::filesystem::permissions(scratch.path("pa/pic.png"), std::filesystem::perms::none);
    inputs.thumbnail = inputs.logo = true;
    inputs.thumbnailImage = scratch.path("pa/pic.png");
    inputs.logoImage = scratch.path("pb/pic.png");
    const std::string lines = scratch.path("lines");

    ASSERT_TRUE(asOrdinaryUser(scratch, [&] {
        std::string text;
        for (const LeftOutFile& file : publish().leftOut)
            text += describeLeftOut(file) + "\n";
        writeFile(lines, text);
        return true;
    }));
    EXPECT_EQ(readFile(out("holiday/pic.png")), "logo picture");
    EXPECT_EQ(readFile(lines),
              "the poster image \"" + inputs.thumbnailImage +
                  "\" cannot be read: Permission denied; the logo image of that name serves both\n");
}
#else
TEST_F(Publish, posterLockedByAnotherProgramLeavesItsNameToTheLogo)
{
    writeFile(scratch.path("pa/pic.png"), "locked poster");
    writeFile(scratch.path("pb/pic.png"), "logo picture");
    inputs.thumbnail = inputs.logo = true;
    inputs.thumbnailImage = scratch.path("pa/pic.png");
    inputs.logoImage = scratch.path("pb/pic.png");
    const LockedFile lock(inputs.thumbnailImage);
    ASSERT_TRUE(lock.locked());

    const PublishResult result = publish();
    EXPECT_EQ(readFile(out("holiday/pic.png")), "logo picture");
    ASSERT_EQ(result.leftOut.size(), 1u);
    EXPECT_EQ(describeLeftOut(result.leftOut[0]),
              "the poster image \"" + inputs.thumbnailImage +
                  "\" cannot be read: " + test::systemWords(ERROR_SHARING_VIOLATION) +
                  "; the logo image of that name serves both");
}

TEST_F(Publish, videoLockedByAnotherProgramIsLeftOutAndThePageIsStillMade)
{
    const LockedFile lock(inputs.videoFile);
    ASSERT_TRUE(lock.locked());
    const PublishResult result = publish();
    EXPECT_EQ(entriesOf(result.folder), (Names{"flvplayer1.swf", "index.htm"}));
    ASSERT_EQ(result.leftOut.size(), 1u);
    EXPECT_EQ(describeLeftOut(result.leftOut[0]), "\"holiday.flv\" was not copied: the file \"" + inputs.videoFile +
                                                      "\" cannot be read: " +
                                                      test::systemWords(ERROR_SHARING_VIOLATION));
}
#endif

TEST_F(Publish, folderOrDeviceAsVideoOrImageIsRefusedBeforeAnythingIsMade)
{
    const auto refusal = [&]() -> std::string {
        try {
            publish();
        } catch (const Error& error) {
            return error.what();
        }
        return "no error";
    };
    inputs.videoFile = scratch.path("videos");
    EXPECT_EQ(refusal(), "The video \"" + inputs.videoFile + "\" is not a file");
#ifdef _WIN32
    const std::string device = "NUL";
#else
    const std::string device = "/dev/zero";
#endif
    inputs.videoFile = device;
    EXPECT_EQ(refusal(), "The video \"" + device + "\" is not a file");
    EXPECT_FALSE(platform::entryExists(out()));

    inputs.videoFile = scratch.path("videos/holiday.flv");
    inputs.thumbnailImage = device;
    inputs.logoImage = scratch.path("videos");
    EXPECT_EQ(publish().leftOut.size(), 0u) << "unchecked images are not looked at";
    inputs.thumbnail = true;
    EXPECT_EQ(refusal(), "The poster image \"" + device + "\" is not a file");
    inputs.thumbnail = false;
    inputs.logo = true;
    EXPECT_EQ(refusal(), "The logo image \"" + inputs.logoImage + "\" is not a file");
    EXPECT_EQ(entriesOf(out()), Names{"holiday"});
}

TEST_F(Publish, filesThatCannotBeCopiedAreListedWithTheirReason)
{
    std::filesystem::remove(program("flvplayer1.swf"));
    inputs.thumbnail = true;
    inputs.thumbnailImage = scratch.path("deleted.jpg");
    inputs.logo = true;
    inputs.logoImage = scratch.path("images/index.htm");
    writeFile(inputs.logoImage, "a logo with an unlucky name");

    const PublishResult result = publish();
    EXPECT_EQ(entriesOf(result.folder), (Names{"holiday.flv", "index.htm"}));
    EXPECT_EQ(readFile(result.folder + "/index.htm"), BuildPlayerPage(inputs));
    ASSERT_EQ(result.leftOut.size(), 3u);
    EXPECT_EQ(describeLeftOut(result.leftOut[0]), "\"index.htm\" was not copied: the page has the same name");
    EXPECT_EQ(describeLeftOut(result.leftOut[1]), "\"flvplayer1.swf\" was not copied: the file \"" +
                                                      program("flvplayer1.swf") + "\" does not exist");
    EXPECT_EQ(result.leftOut[2].name, "deleted.jpg");
}

TEST_F(Publish, folderThatCannotBeMadeEndsWithTheErrorOfTheStepThatFailed)
{
    const auto errorText = [&]() -> std::string {
        try {
            publish();
        } catch (const Error& error) {
            return error.what();
        }
        return "no error";
    };
    // The output folder's own creation fails, not the page's.
#ifdef _WIN32
    const std::string exists = test::systemWords(ERROR_ALREADY_EXISTS);
#else
    const std::string exists = "File exists";
#endif
    writeFile(inputs.outputDir, "a plain file where the output folder should be");
    EXPECT_EQ(errorText(), "Cannot create folder \"" + inputs.outputDir + "\". " + exists);
    inputs.outputDir = out("deeper/still");
    EXPECT_EQ(errorText(), "Cannot create folder \"" + scratch.path("out") + "\". " + exists);

#ifndef _WIN32 // a folder's read-only attribute does not keep files out on Windows
    std::filesystem::remove(scratch.path("out"));
    std::filesystem::create_directory(scratch.path("out"));
    std::filesystem::permissions(scratch.path("out"),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    ASSERT_TRUE(asOrdinaryUser(scratch, [&] {
        std::string texts = errorText() + "\n";
        inputs.outputDir = scratch.path("out");
        texts += errorText() + "\n";
        writeFile(scratch.path("texts"), texts);
        return true;
    }));
    EXPECT_EQ(readFile(scratch.path("texts")), "Cannot create folder \"" + out("deeper") +
                                                   "\". Permission denied\n" + "Cannot create folder \"" +
                                                   out("holiday") + "\". Permission denied\n");
#endif
}

TEST_F(Publish, videoThatDoesNotFitIsLeftOutWithoutAPartialFile)
{
    if (!scratch.mountSmallFileSystem("out", "1m"))
        GTEST_SKIP() << "mounting a 1 MiB tmpfs needs root; the full disk case is not run";
    writeFile(inputs.videoFile, patternBytes(2u << 20));

    const PublishResult result = publish();
    EXPECT_EQ(entriesOf(result.folder), (Names{"flvplayer1.swf", "index.htm"}));
    ASSERT_EQ(result.leftOut.size(), 1u);
    EXPECT_EQ(describeLeftOut(result.leftOut[0]), "\"holiday.flv\" was not copied: No space left on device");

    // No room left even for the page: the generation ends with the write error.
    writeFile(out("filler"), patternBytes(1u << 20));
    try {
        publish();
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), "Stream write error");
    }
    EXPECT_TRUE(entriesOf(out("holiday_(new)")).empty());
}

#ifndef _WIN32 // Wine's CopyFileExW reports no progress: nothing happens between chunks
TEST_F(Publish, videoThatChangesWhileItIsCopiedIsLeftOut)
{
    PublishControl control;
    control.copyTuning.maxChunkBytes = 16 * 1024;
    control.copyTuning.afterChunk = [&](std::uint64_t) {
        if (platform::fileSize(inputs.videoFile) == 200000u)
            std::filesystem::resize_file(inputs.videoFile, 50000);
    };
    const PublishResult result = publish(control);
    EXPECT_EQ(entriesOf(result.folder), (Names{"flvplayer1.swf", "index.htm"}));
    ASSERT_EQ(result.leftOut.size(), 1u);
    EXPECT_EQ(describeLeftOut(result.leftOut[0]), "\"holiday.flv\" was not copied: the file \"" +
                                                      inputs.videoFile + "\" changed while it was copied");
}
#endif

TEST_F(Publish, generationRemovesHalfCopiesOfKilledGenerationsButNotOfLiveOnes)
{
    writeFile(out("holiday/holiday.flv"), "complete");
    writeFile(out("holiday/.flvplayer1.swf.vidlume-part"), "half");
    writeFile(out("other/.index.htm.vidlume-part-3"), "half");
    writeFile(out("live/.live.flv.vidlume-part"), "being written");
    {
#ifdef _WIN32
        // A live copy holds its file open, and lets nobody delete it.
        const HANDLE live = ::CreateFileW(test::fsPath(out("live/.live.flv.vidlume-part")).c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(live, INVALID_HANDLE_VALUE);
#else
        const int live = ::open(out("live/.live.flv.vidlume-part").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(live, LOCK_EX), 0);
#endif
        EXPECT_EQ(publish().folder, out("holiday_(new)"));
#ifdef _WIN32
        ::CloseHandle(live);
#else
        ::close(live);
#endif
    }
    EXPECT_EQ(entriesOf(out("holiday")), Names{"holiday.flv"});
    EXPECT_TRUE(entriesOf(out("other")).empty());
    EXPECT_EQ(entriesOf(out("live")), Names{".live.flv.vidlume-part"});
}

TEST_F(Publish, cancelRemovesWhatTheGenerationMadeAndNothingElse)
{
    const std::string earlier = publish().folder;
    PublishControl control;
    control.copyTuning.maxChunkBytes = 16 * 1024;
    std::uint64_t lastDone = 0;
    control.onProgress = [&](const PublishProgress& progress) {
        EXPECT_GE(progress.bytesDone, lastDone);
        lastDone = progress.bytesDone;
    };
    // Cancelled in the middle of the player file, after the video is in place.
    control.cancelRequested = [&] { return lastDone > 200000; };
    EXPECT_THROW(publish(control), PublishCancelled);
    EXPECT_EQ(entriesOf(out()), Names{"holiday"});
    EXPECT_EQ(entriesOf(earlier), (Names{"holiday.flv", "flvplayer1.swf", "index.htm"}));

    // A file that someone else put into the new folder keeps the folder.
    control.onProgress = [&](const PublishProgress& progress) {
        if (!platform::entryExists(out("holiday_(new)/theirs.txt")))
            writeFile(out("holiday_(new)/theirs.txt"), "theirs");
        lastDone = progress.bytesDone;
    };
    lastDone = 0;
    EXPECT_THROW(publish(control), PublishCancelled);
    EXPECT_EQ(entriesOf(out("holiday_(new)")), Names{"theirs.txt"});
}

TEST_F(Publish, html5PlayerBringsItsFilesAndAVideoThatBrowsersCannotPlayLeavesItsMp4Out)
{
    inputs.html5 = true;

    PublishResult result = publish();
    EXPECT_EQ(entriesOf(result.folder),
              (Names{"holiday.flv", "flvplayer1.swf", "holiday.captions.js", "index.htm"}));
    EXPECT_EQ(readFile(result.folder + "/index.htm"), BuildPlayerPage(inputs));
    ASSERT_EQ(result.leftOut.size(), 2u);
    EXPECT_EQ(result.leftOut[0].name, "vidlume-html5.js");
    EXPECT_EQ(describeLeftOut(result.leftOut[1]),
              "\"holiday.mp4\" was not made: the HTML5 player cannot play holiday.flv: it is not an FLV file");
    EXPECT_TRUE(result.warnings.empty());

    // An FLV header, PreviousTagSize0 and one H.264 key frame tag of one byte:
    // nothing to convert, still a page.
    writeFile(program("vidlume-html5.js"), "our player");
    const char h264[] = "FLV\x01\x01\0\0\0\x09\0\0\0\0"
                        "\x09\0\0\x01\0\0\0\0\0\0\0\x17\0\0\0\x0C";
    writeFile(inputs.videoFile, std::string(h264, sizeof h264 - 1));
    result = publish();
    EXPECT_EQ(entriesOf(result.folder), (Names{"holiday.flv", "flvplayer1.swf", "vidlume-html5.js",
                                               "holiday.captions.js", "index.htm"}));
    EXPECT_EQ(readFile(result.folder + "/vidlume-html5.js"), "our player");
    EXPECT_TRUE(result.warnings.empty());
    ASSERT_EQ(result.leftOut.size(), 1u);
    EXPECT_EQ(describeLeftOut(result.leftOut[0]).rfind("\"holiday.mp4\" was not made: the HTML5 player cannot "
                                                      "play holiday.flv: ", 0),
              0u)
        << describeLeftOut(result.leftOut[0]);
    EXPECT_TRUE(platform::fileExists(result.folder + "/index.htm"));

    inputs.html5 = false;
    result = publish();
    EXPECT_EQ(entriesOf(result.folder), (Names{"holiday.flv", "flvplayer1.swf", "index.htm"}));
    EXPECT_TRUE(result.warnings.empty());
}

TEST_F(Publish, progressCountsEveryByteOfTheGeneration)
{
    PublishControl control;
    PublishProgress last;
    std::vector<std::string> files;
    control.onProgress = [&](const PublishProgress& progress) {
        if (files.empty() || files.back() != progress.fileName)
            files.push_back(progress.fileName);
        last = progress;
    };
    publish(control);
    EXPECT_EQ(files, (std::vector<std::string>{"holiday.flv", "flvplayer1.swf"}));
    EXPECT_EQ(last.bytesTotal, 200000u + 12u);
    EXPECT_EQ(last.bytesDone, last.bytesTotal);

#ifndef _WIN32
    // A pipe has no size beforehand: the total grows with what came through it.
    inputs.videoFile = scratch.path("live.flv");
    ASSERT_EQ(::mkfifo(inputs.videoFile.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(inputs.videoFile, std::ios::binary) << patternBytes(100000); });
    control.onProgress = [&](const PublishProgress& progress) {
        EXPECT_LE(progress.bytesDone, progress.bytesTotal) << progress.fileName;
        last = progress;
    };
    publish(control);
    writer.join();
    EXPECT_EQ(last.bytesDone, 100000u + 12u);
#endif
}

namespace {

/// A two-second Sorenson + MP3 FLV made with Debian's ffmpeg program; false
/// when that program is not installed. Under Wine, one it made beforehand.
bool makeSorensonFlv(const std::string& path)
{
#ifdef _WIN32
    std::error_code copied;
    std::filesystem::copy_file(VIDLUME_SAMPLES_DIR "/sorenson-mp3.flv", test::fsPath(path),
                               std::filesystem::copy_options::overwrite_existing, copied);
    return !copied;
#endif
    if (std::system("command -v ffmpeg >/dev/null") != 0)
        return false;
    const std::string command =
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
        "-f lavfi -i sine=sample_rate=22050:duration=2 -c:v flv1 -c:a libmp3lame '" +
        path + "'";
    return std::system(command.c_str()) == 0;
}

} // namespace

TEST_F(Publish, html5PlayerGetsAnMp4OfTheVideoAfterItsCopyWithAPhaseOfItsOwn)
{
    if (!makeSorensonFlv(inputs.videoFile))
        GTEST_SKIP() << "Debian's ffmpeg program makes the sample video";
    inputs.html5 = true;
    writeFile(program("vidlume-html5.js"), "our player");
    PublishControl control;
    std::vector<std::pair<std::string, PublishPhase>> steps;
    PublishProgress last;
    std::uint64_t copyTotal = 0;
    control.onProgress = [&](const PublishProgress& progress) {
        if (steps.empty() || steps.back().first != progress.fileName)
            steps.emplace_back(progress.fileName, progress.phase);
        EXPECT_LE(progress.bytesDone, progress.bytesTotal);
        // Each phase counts its own bytes, from nothing up to its own total.
        if (progress.phase == last.phase) {
            EXPECT_GE(progress.bytesDone, last.bytesDone);
        }
        if (progress.phase == PublishPhase::Copying)
            copyTotal = progress.bytesTotal;
        last = progress;
    };
    PublishResult result = publish(control);
    EXPECT_TRUE(result.warnings.empty()) << result.warnings.front();
    EXPECT_TRUE(platform::fileExists(result.folder + "/holiday.mp4"));
    EXPECT_EQ(readFile(result.folder + "/index.htm"), BuildPlayerPage(inputs));
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front(), std::make_pair(std::string("holiday.flv"), PublishPhase::Copying));
    EXPECT_EQ(steps.back(), std::make_pair(std::string("holiday.mp4"), PublishPhase::Converting));
    EXPECT_EQ(last.bytesDone, last.bytesTotal);
    const std::uint64_t videoSize = *platform::fileSize(inputs.videoFile);
    EXPECT_EQ(last.bytesTotal, videoSize);
    EXPECT_EQ(copyTotal, videoSize + std::string("player bytes").size() + std::string("our player").size());

    // A video that is an MP4 browsers play already gets no second one.
    const std::string video = inputs.videoFile;
    inputs.videoFile = result.folder + "/holiday.mp4";
    result = publish();
    EXPECT_EQ(entriesOf(result.folder), (Names{"holiday.mp4", "flvplayer1.swf", "vidlume-html5.js",
                                               "holiday.mp4.captions.js", "index.htm"}));
    EXPECT_TRUE(result.warnings.empty()) << result.warnings.front();
    EXPECT_TRUE(result.leftOut.empty()) << describeLeftOut(result.leftOut.front());
    inputs.videoFile = video;

    // A poster of the MP4's name keeps the MP4 out; the poster is placed.
    inputs.thumbnail = true;
    inputs.thumbnailImage = scratch.path("images/holiday.mp4");
    writeFile(inputs.thumbnailImage, "a poster with an unlucky name");
    result = publish();
    EXPECT_EQ(readFile(result.folder + "/holiday.mp4"), "a poster with an unlucky name");
    ASSERT_FALSE(result.leftOut.empty());
    EXPECT_EQ(describeLeftOut(result.leftOut[0]),
              "\"holiday.mp4\" was not made: the poster image has the same name");
}

TEST_F(Publish, cancelDuringTheConversionRemovesTheNewFolder)
{
    if (!makeSorensonFlv(inputs.videoFile))
        GTEST_SKIP() << "Debian's ffmpeg program makes the sample video";
    inputs.html5 = true;
    PublishControl control;
    bool converting = false;
    control.onProgress = [&](const PublishProgress& progress) {
        converting = progress.phase == PublishPhase::Converting;
    };
    control.cancelRequested = [&] { return converting; };
    EXPECT_THROW(publish(control), PublishCancelled);
    EXPECT_TRUE(entriesOf(out()).empty());
}

TEST_F(Publish, html5PlayerGetsTheSubtitleFilesBesideTheVideoOrThoseNamed)
{
    inputs.html5 = true;
    writeFile(program("vidlume-html5.js"), "our player");
    writeFile(scratch.path("videos/holiday.en.srt"), "1\n00:00:01,000 --> 00:00:02,000\nHello\n");
    writeFile(scratch.path("videos/holiday.srt"), "no cues");
    PublishResult result = publish();
    EXPECT_EQ(readFile(result.folder + "/holiday.en.vtt"),
              "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\nHello\n");
    EXPECT_NE(readFile(result.folder + "/holiday.captions.js").find("\"file\": \"holiday.en.vtt\""),
              std::string::npos);
    EXPECT_FALSE(platform::entryExists(result.folder + "/holiday.vtt"));
    ASSERT_FALSE(result.warnings.empty());
    EXPECT_EQ(result.warnings.back(), "The caption file \"" + scratch.path("videos/holiday.srt") +
                                          "\" was not used: it holds no cue that could be used.");

    // Files named explicitly replace those beside the video.
    writeFile(scratch.path("subs/talk.de.srt"), "1\n00:00:03,000 --> 00:00:04,000\nHallo\n");
    inputs.captionFiles = {scratch.path("subs/talk.de.srt")};
    result = publish();
    EXPECT_TRUE(platform::fileExists(result.folder + "/holiday.de.vtt"));
    EXPECT_FALSE(platform::entryExists(result.folder + "/holiday.en.vtt"));

    // Cancelling removes them with the rest.
    PublishControl control;
    bool pageAhead = false;
    control.cancelRequested = [&] {
        pageAhead = platform::fileExists(scratch.path("out/holiday_(new_1)/holiday.captions.js"));
        return pageAhead;
    };
    EXPECT_THROW(publish(control), PublishCancelled);
    EXPECT_FALSE(platform::entryExists(scratch.path("out/holiday_(new_1)")));
}


TEST_F(Publish, aConverterOverItsMemoryLimitIsStoppedAndThePageIsStillMade)
{
    if (platform::builtWithSanitizer())
        GTEST_SKIP() << "a sanitized converter runs without a memory limit";
#ifdef _WIN32
    if (runsUnderWine())
        GTEST_SKIP() << "Wine does not enforce a job's memory limit";
#endif
    // 8000 x 4000 passes every check of the picture size; its frames and the
    // encoder's do not fit in 512 MiB.
    writeFile(inputs.videoFile, test::craftedH264Flv(8000, 4000));
    inputs.html5 = true;
    writeFile(program("vidlume-html5.js"), "our player");
    PublishControl control;
    control.converterBounds.memoryBytes = 512u << 20;
    control.converterBounds.threads = 2;
    control.converterBounds.stallSeconds = 60;
    const PublishResult result = publish(control);
    EXPECT_TRUE(result.warnings.empty());
    ASSERT_EQ(result.leftOut.size(), 1u);
    EXPECT_EQ(describeLeftOut(result.leftOut[0]),
              "\"holiday.mp4\" was not made: the converter stopped (it ran out of its 512 MiB of memory)");
    EXPECT_EQ(entriesOf(result.folder), (Names{"holiday.flv", "flvplayer1.swf", "vidlume-html5.js",
                                               "holiday.captions.js", "index.htm"}));
}

TEST_F(Publish, aConverterMissingBesideTheProgramIsNamedAndThePageIsStillMade)
{
    if (!makeSorensonFlv(inputs.videoFile))
        GTEST_SKIP() << "Debian's ffmpeg program makes the sample video";
    // Moved away rather than removed: on Windows a program file that another
    // test is running (a hard link of it here) cannot be deleted.
    std::filesystem::rename(program(converterName), scratch.path("moved-away"));
    inputs.html5 = true;
    writeFile(program("vidlume-html5.js"), "our player");
    const PublishResult result = publish();
#ifdef _WIN32
    const std::string notFound = test::systemWords(ERROR_FILE_NOT_FOUND);
#else
    const std::string notFound = "No such file or directory";
#endif
    EXPECT_TRUE(result.warnings.empty());
    ASSERT_EQ(result.leftOut.size(), 1u);
    EXPECT_EQ(describeLeftOut(result.leftOut[0]), "\"holiday.mp4\" was not made: the converter \"" +
                                                      program(converterName) +
                                                      "\" cannot be started: " + notFound);
    EXPECT_EQ(entriesOf(result.folder), (Names{"holiday.flv", "flvplayer1.swf", "vidlume-html5.js",
                                               "holiday.captions.js", "index.htm"}));
}

TEST_F(Publish, namesInAnyScriptAreKeptThroughCopyPageAndConversion)
{
    // Letters beyond the system's single-byte code page: on Windows they reach
    // the files only through the wide-character calls.
    const std::string name = "Ferien M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC";
    inputs.videoFile = scratch.path("vid\xC3\xA9os/" + name + ".flv");
    if (!makeSorensonFlv(scratch.path("sample.flv")))
        GTEST_SKIP() << "Debian's ffmpeg program makes the sample video";
    writeFile(inputs.videoFile, readFile(scratch.path("sample.flv")));
    inputs.outputDir = scratch.path("s\xC3\xB8rtie");
    inputs.html5 = true;
    writeFile(program("vidlume-html5.js"), "our player");

    const PublishResult result = publish();
    EXPECT_EQ(result.folder, scratch.path("s\xC3\xB8rtie/" + name));
    EXPECT_TRUE(result.leftOut.empty());
    EXPECT_TRUE(result.warnings.empty()) << result.warnings.front();
    EXPECT_EQ(entriesOf(result.folder), (Names{name + ".flv", name + ".mp4", "flvplayer1.swf", "vidlume-html5.js",
                                               name + ".captions.js", "index.htm"}));
    EXPECT_EQ(readFile(result.folder + "/" + name + ".flv"), readFile(inputs.videoFile));
    EXPECT_EQ(readFile(result.folder + "/index.htm"), BuildPlayerPage(inputs));
    EXPECT_GT(readFile(result.folder + "/" + name + ".mp4").size(), 1000u);
}

TEST_F(Publish, aConverterGetsMemoryForEachOfItsThreadsSoA4k10BitVideoConvertsOnAnyMachine)
{
#ifdef _WIN32
    GTEST_SKIP() << "Debian's ffmpeg program makes the sample video";
#endif
    if (platform::builtWithSanitizer())
        GTEST_SKIP() << "a sanitized converter runs without a memory limit";
    if (std::system("command -v ffmpeg >/dev/null") != 0)
        GTEST_SKIP() << "Debian's ffmpeg program makes the sample video";
    const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=3840x2160:rate=25:duration=2.4 "
                                "-c:v libx264 -preset ultrafast -pix_fmt yuv420p10le '" +
                                inputs.videoFile + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    inputs.html5 = true;
    writeFile(program("vidlume-html5.js"), "our player");
    // Eight threads, as on an eight-processor machine, whatever this one has.
    PublishControl control;
    control.converterBounds.threads = 8;
    const PublishResult result = publish(control);
    ASSERT_TRUE(result.leftOut.empty()) << describeLeftOut(result.leftOut[0]);
    EXPECT_TRUE(platform::fileExists(result.folder + "/holiday.mp4"));
}
