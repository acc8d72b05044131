#include "ScratchFolder.h"
#include "platform/FileCopy.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#include <chrono>
#include <fstream>
#include <thread>

using namespace vidlume::platform;
using vidlume::test::entriesOf;
using vidlume::test::patternBytes;
using vidlume::test::readFile;
using vidlume::test::ScratchFolder;
using vidlume::test::writeFile;

namespace {

using Names = std::set<std::string>;

CopyTuning smallChunks(std::optional<CopyMethod> first = std::nullopt)
{
    CopyTuning tuning;
    tuning.maxChunkBytes = 64 * 1024;
    tuning.firstMethod = first;
    return tuning;
}

[[maybe_unused]] CopyTuning namedTemporary(CopyTuning tuning = smallChunks())
{
    tuning.namedTemporary = true;
    return tuning;
}

#ifndef _WIN32
/// A copy running in a child process, held after its first chunk until the
/// test kills it.
class CopyInChild
{
public:
    CopyInChild(const std::string& source, const std::string& destination, CopyTuning tuning)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            tuning.afterChunk = [&](std::uint64_t) {
                if (ready[1] >= 0) {
                    (void)::write(ready[1], "x", 1);
                    ::close(ready[1]);
                    ready[1] = -1;
                }
                ::usleep(50000);
            };
            copyFileNoReplace(source, destination, {}, tuning);
            ::_exit(0);
        }
        ::close(ready[1]);
        char byte = 0;
        m_copying = m_pid > 0 && ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~CopyInChild() { kill(); }

    /// True once the child has copied its first chunk.
    bool copying() const { return m_copying; }

    void kill()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
    bool m_copying = false;
};
#endif

} // namespace

TEST(FileCopy, everyStepOfTheChainCopiesTheExactBytes)
{
    ScratchFolder folder;
    // Not a multiple of any chunk or buffer size, so the last piece is short.
    const std::string bytes = patternBytes((1u << 20) + 12345);
    writeFile(folder.path("source.flv"), bytes);
    writeFile(folder.path("empty.flv"), "");

    for (CopyMethod method :
         {CopyMethod::Clone, CopyMethod::CopyFileRange, CopyMethod::SendFile, CopyMethod::ReadWrite}) {
        SCOPED_TRACE(static_cast<int>(method));
        const std::string destination = folder.path("copy" + std::to_string(static_cast<int>(method)));
        std::uint64_t lastDone = 0;
        CopyObserver observer;
        observer.onProgress = [&](std::uint64_t done, std::uint64_t total) {
            EXPECT_GE(done, lastDone);
            EXPECT_EQ(total, bytes.size());
            lastDone = done;
        };
        const CopyResult result =
            copyFileNoReplace(folder.path("source.flv"), destination, observer, smallChunks(method));
        ASSERT_TRUE(result.ok()) << systemErrorText(result.error);
        EXPECT_EQ(readFile(destination), bytes);
        EXPECT_EQ(result.bytes, bytes.size());
        EXPECT_EQ(lastDone, bytes.size());
#ifndef _WIN32
        // A file system without clones moves on to the next step. (Windows
        // has one way, CopyFileExW.)
        if (method != CopyMethod::Clone) {
            EXPECT_EQ(result.method, method);
        }
#endif

        const CopyResult empty =
            copyFileNoReplace(folder.path("empty.flv"), destination + ".empty", {}, smallChunks(method));
        ASSERT_TRUE(empty.ok());
        EXPECT_TRUE(fileExists(destination + ".empty"));
    }
}

#ifndef _WIN32
TEST(FileCopy, acrossFileSystemsFallsBackToSendFile)
{
    struct stat shm;
    struct stat tmp;
    ScratchFolder folder;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(folder.path().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    const std::string source = "/dev/shm/vidlume-test-" + std::to_string(::getpid()) + ".flv";
    const std::string bytes = patternBytes(300000);
    writeFile(source, bytes);

    const CopyResult result = copyFileNoReplace(source, folder.path("copy.flv"), {}, smallChunks());
    removeFile(source);
    ASSERT_TRUE(result.ok()) << systemErrorText(result.error);
    EXPECT_EQ(result.method, CopyMethod::SendFile);
    EXPECT_EQ(readFile(folder.path("copy.flv")), bytes);
}

TEST(FileCopy, bytesStayOutOfSightUntilComplete)
{
    ScratchFolder folder;
    writeFile(folder.path("source.flv"), patternBytes(500000));
    // Another copy's temporary file: it must be left as it is.
    writeFile(temporaryNameFor(folder.path("video.flv")), "someone else's");

    // Unnamed while written; a hidden name where the file system has no unnamed files.
    CopyTuning tuning = smallChunks();
    Names seenDuringCopy;
    tuning.afterChunk = [&](std::uint64_t) { seenDuringCopy = entriesOf(folder.path()); };
    ASSERT_TRUE(copyFileNoReplace(folder.path("source.flv"), folder.path("video.flv"), {}, tuning).ok());
    EXPECT_EQ(seenDuringCopy, (Names{"source.flv", ".video.flv.vidlume-part"}));
    EXPECT_EQ(readFile(folder.path("video.flv")), readFile(folder.path("source.flv")));

    std::filesystem::remove(folder.path("video.flv"));
    tuning.namedTemporary = true;
    ASSERT_TRUE(copyFileNoReplace(folder.path("source.flv"), folder.path("video.flv"), {}, tuning).ok());
    EXPECT_EQ(seenDuringCopy, (Names{"source.flv", ".video.flv.vidlume-part", ".video.flv.vidlume-part-2"}));
    EXPECT_EQ(entriesOf(folder.path()), (Names{"source.flv", "video.flv", ".video.flv.vidlume-part"}));
    EXPECT_EQ(readFile(folder.path(".video.flv.vidlume-part")), "someone else's");
    EXPECT_EQ(readFile(folder.path("video.flv")), readFile(folder.path("source.flv")));

    // A name as long as the file system allows still gets its copy and its page.
    const std::string longName = std::string(251, 'v') + ".flv";
    for (const CopyTuning& way : {CopyTuning{}, namedTemporary(CopyTuning{})}) {
        ScratchFolder target;
        ASSERT_TRUE(copyFileNoReplace(folder.path("source.flv"), target.path(longName), {}, way).ok());
        ASSERT_TRUE(writeNewFile(target.path(std::string(255, 'p')), "page", way).ok());
        EXPECT_EQ(entriesOf(target.path()), (Names{longName, std::string(255, 'p')}));
    }
}

TEST(FileCopy, killedCopyLeavesNoBytesBehindAndTheSweepTakesOnlyDeadOnes)
{
    ScratchFolder folder;
    writeFile(folder.path("source.flv"), patternBytes(4u << 20));
    std::filesystem::create_directories(folder.path("out/gen"));

    // Unnamed: the kernel frees the bytes with the process.
    {
        CopyInChild child(folder.path("source.flv"), folder.path("out/gen/video.flv"), smallChunks());
        ASSERT_TRUE(child.copying());
        child.kill();
        EXPECT_TRUE(entriesOf(folder.path("out/gen")).empty());
    }

    // Named: the hidden file stays after a kill, but is locked while its copy
    // runs. A sweep takes the dead one and leaves the live one, the user's
    // own hidden files, and folders outside its reach alone.
    writeFile(folder.path("out/gen/.notes.txt"), "mine");
    writeFile(folder.path("out/gen/video.flv.vidlume-part"), "mine too");
    writeFile(folder.path("elsewhere/.old.flv.vidlume-part"), "not below the output folder");
    std::filesystem::create_directory_symlink(folder.path("elsewhere"), folder.path("out/link"));
    CopyInChild dead(folder.path("source.flv"), folder.path("out/gen/dead.flv"), namedTemporary());
    ASSERT_TRUE(dead.copying());
    dead.kill();
    CopyInChild live(folder.path("source.flv"), folder.path("out/gen/live.flv"), namedTemporary());
    ASSERT_TRUE(live.copying());
    const Names afterKill{".notes.txt", "video.flv.vidlume-part", ".dead.flv.vidlume-part",
                          ".live.flv.vidlume-part"};
    EXPECT_EQ(entriesOf(folder.path("out/gen")), afterKill);
    const std::uint64_t deadBytes = fileSize(folder.path("out/gen/.dead.flv.vidlume-part")).value_or(0);
    EXPECT_GT(deadBytes, 0u);

    const AbandonedFiles swept = removeAbandonedTemporaryFiles(folder.path("out"));
    EXPECT_EQ(swept.files, 1u);
    EXPECT_EQ(swept.bytes, deadBytes);
    EXPECT_EQ(entriesOf(folder.path("out/gen")),
              (Names{".notes.txt", "video.flv.vidlume-part", ".live.flv.vidlume-part"}));
    EXPECT_TRUE(std::filesystem::exists(folder.path("elsewhere/.old.flv.vidlume-part")));

    live.kill();
    EXPECT_EQ(removeAbandonedTemporaryFiles(folder.path("out")).files, 1u);
    EXPECT_EQ(entriesOf(folder.path("out/gen")), (Names{".notes.txt", "video.flv.vidlume-part"}));
    EXPECT_EQ(removeAbandonedTemporaryFiles(folder.path("missing")).files, 0u);
}

#endif

TEST(FileCopy, neverReplacesAnExistingEntry)
{
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way == 0 ? "unnamed" : way == 1 ? "rename" : "link + unlink");
        ScratchFolder folder;
        writeFile(folder.path("source.flv"), patternBytes(300000));
        writeFile(folder.path("there.flv"), "old");

        CopyTuning tuning = smallChunks();
        tuning.namedTemporary = way > 0;
        tuning.linkInsteadOfRename = way == 2;
        CopyResult result =
            copyFileNoReplace(folder.path("source.flv"), folder.path("there.flv"), {}, tuning);
        EXPECT_EQ(result.failure, CopyFailure::DestinationExists);

#ifndef _WIN32
        // The name is taken while the bytes are on their way. (Wine never
        // reports a chunk, so there this moment cannot be reached.)
        tuning.afterChunk = [&](std::uint64_t) {
            if (!entryExists(folder.path("late.flv")))
                writeFile(folder.path("late.flv"), "first");
        };
        result = copyFileNoReplace(folder.path("source.flv"), folder.path("late.flv"), {}, tuning);
        EXPECT_EQ(result.failure, CopyFailure::DestinationExists);
        EXPECT_EQ(readFile(folder.path("late.flv")), "first");
        EXPECT_EQ(entriesOf(folder.path()), (Names{"source.flv", "there.flv", "late.flv"}));
#endif
        EXPECT_EQ(readFile(folder.path("there.flv")), "old");

        result = writeNewFile(folder.path("there.flv"), "new", tuning);
        EXPECT_EQ(result.failure, CopyFailure::DestinationExists);
        ASSERT_TRUE(writeNewFile(folder.path("page.htm"), std::string("a\r\n\0b", 5), tuning).ok());
        EXPECT_EQ(readFile(folder.path("page.htm")), std::string("a\r\n\0b", 5));
    }
}

TEST(FileCopy, aWriterMayReopenTheNewFileByItsPathUntilItIsComplete)
{
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "named" : "unnamed");
        ScratchFolder folder;
        CopyTuning tuning;
        tuning.namedTemporary = named;
        // As a muxer does: write, read the start back, rewrite it in place.
        const CopyResult result = writeNewFileWith(
            folder.path("movie.mp4"),
            [&](int, const std::string& openPath) {
#ifdef _WIN32
                EXPECT_EQ(entriesOf(folder.path()).size(), 1u); // always a hidden name here
#else
                EXPECT_EQ(entriesOf(folder.path()).size(), named ? 1u : 0u);
#endif
                std::ofstream(openPath, std::ios::binary | std::ios::trunc) << "moov-later|mdat-bytes";
                if (readFile(openPath) != "moov-later|mdat-bytes")
                    return EIO;
                std::fstream patch(openPath, std::ios::binary | std::ios::in | std::ios::out);
                patch << "MOOV-FIRST";
                return patch.flush() ? 0 : EIO;
            },
            tuning);
        ASSERT_TRUE(result.ok()) << systemErrorText(result.error);
        EXPECT_EQ(result.bytes, 21u);
        EXPECT_EQ(readFile(folder.path("movie.mp4")), "MOOV-FIRST|mdat-bytes");
        EXPECT_EQ(entriesOf(folder.path()), Names{"movie.mp4"});

        // A writer that stops or fails leaves nothing.
        const auto stopWith = [&](int error) {
            return writeNewFileWith(
                folder.path("other.mp4"),
                [error](int fd, const std::string&) { return ::write(fd, "half", 4) == 4 ? error : EIO; },
                tuning);
        };
        EXPECT_EQ(stopWith(ECANCELED).failure, CopyFailure::Cancelled);
        const CopyResult failedWrite = stopWith(ENOSPC);
        EXPECT_EQ(failedWrite.failure, CopyFailure::Write);
        EXPECT_EQ(failedWrite.error, ENOSPC);
        EXPECT_EQ(entriesOf(folder.path()), Names{"movie.mp4"});
    }
}

#ifndef _WIN32
TEST(FileCopy, copyKeepsTheModificationTimeAndPermissionsLikeCp)
{
    ScratchFolder folder;
    writeFile(folder.path("plain.flv"), patternBytes(100000));
    writeFile(folder.path("special.flv"), "set-user-ID");
    const timespec modified{1000000000, 123456789};
    const timespec times[2] = {{0, UTIME_OMIT}, modified};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.path("plain.flv").c_str(), times, 0), 0);
    ASSERT_EQ(::chmod(folder.path("plain.flv").c_str(), 0604), 0);
    ASSERT_EQ(::chmod(folder.path("special.flv").c_str(), 06777), 0);
    const mode_t umask = ::umask(0);
    ::umask(umask);

    for (const CopyTuning& way : {CopyTuning{}, namedTemporary(CopyTuning{})}) {
        ScratchFolder target;
        ASSERT_TRUE(copyFileNoReplace(folder.path("plain.flv"), target.path("plain.flv"), {}, way).ok());
        ASSERT_TRUE(copyFileNoReplace(folder.path("special.flv"), target.path("special.flv"), {}, way).ok());
        struct stat plain;
        struct stat special;
        ASSERT_EQ(::stat(target.path("plain.flv").c_str(), &plain), 0);
        ASSERT_EQ(::stat(target.path("special.flv").c_str(), &special), 0);
        EXPECT_EQ(plain.st_mtim.tv_sec, modified.tv_sec);
        EXPECT_EQ(plain.st_mtim.tv_nsec, modified.tv_nsec);
        EXPECT_EQ(plain.st_mode & 07777, 0604 & ~umask);
        EXPECT_EQ(special.st_mode & 07777, 0777 & ~umask);
    }
}

TEST(FileCopy, sourceThatShrinksOrGrowsDuringTheCopyIsNotPlaced)
{
    ScratchFolder folder;
    const std::string bytes = patternBytes(1u << 20);
    for (CopyMethod method : {CopyMethod::CopyFileRange, CopyMethod::ReadWrite}) {
        for (const std::string change : {"shrink", "grow", "rewrite"}) {
            SCOPED_TRACE(change + " " + std::to_string(static_cast<int>(method)));
            writeFile(folder.path("source.flv"), bytes);
            bool changed = false;
            CopyTuning tuning = smallChunks(method);
            tuning.afterChunk = [&](std::uint64_t) {
                if (changed)
                    return;
                changed = true;
                if (change == "shrink") {
                    std::filesystem::resize_file(folder.path("source.flv"), 100000);
                } else if (change == "grow") {
                    std::ofstream(folder.path("source.flv"), std::ios::binary | std::ios::app) << "more";
                } else {
                    // Same size, other bytes: only the modification time tells.
                    std::fstream(folder.path("source.flv"), std::ios::binary | std::ios::in | std::ios::out)
                        << "XXXX";
                    const timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
                    ::utimensat(AT_FDCWD, folder.path("source.flv").c_str(), later, 0);
                }
            };
            const CopyResult result =
                copyFileNoReplace(folder.path("source.flv"), folder.path("copy.flv"), {}, tuning);
            EXPECT_EQ(result.failure, CopyFailure::SourceChanged);
            EXPECT_EQ(entriesOf(folder.path()), Names{"source.flv"});
        }
    }
}

TEST(FileCopy, cancelBetweenChunksLeavesNothing)
{
    ScratchFolder folder;
    writeFile(folder.path("source.flv"), patternBytes(1u << 20));
    for (CopyMethod method : {CopyMethod::CopyFileRange, CopyMethod::ReadWrite}) {
        int chunks = 0;
        CopyObserver observer;
        observer.cancelRequested = [&] { return chunks >= 2; };
        CopyTuning tuning = smallChunks(method);
        tuning.afterChunk = [&](std::uint64_t) { ++chunks; };
        const CopyResult result =
            copyFileNoReplace(folder.path("source.flv"), folder.path("copy.flv"), observer, tuning);
        EXPECT_EQ(result.failure, CopyFailure::Cancelled);
        EXPECT_EQ(chunks, 2);
        EXPECT_EQ(entriesOf(folder.path()), Names{"source.flv"});
    }
}

TEST(FileCopy, aPipeIsCopiedWholeAndOneWithoutAWriterCanBeCancelled)
{
    ScratchFolder folder;
    const std::string pipe = folder.path("pipe.flv");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);

    // Nobody ever writes: the copy waits, but gives way to a cancel.
    int polls = 0;
    CopyObserver observer;
    observer.cancelRequested = [&] { return ++polls > 3; };
    CopyResult result = copyFileNoReplace(pipe, folder.path("copy.flv"), observer);
    EXPECT_EQ(result.failure, CopyFailure::Cancelled);
    EXPECT_EQ(entriesOf(folder.path()), Names{"pipe.flv"});

    // A writer that comes late and writes in pieces: every byte arrives.
    const std::string bytes = patternBytes(300000);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        std::ofstream out(pipe, std::ios::binary);
        out.write(bytes.data(), 100000);
        out.flush();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        out.write(bytes.data() + 100000, 200000);
    });
    result = copyFileNoReplace(pipe, folder.path("copy.flv"));
    writer.join();
    EXPECT_EQ(result.failure, CopyFailure::None);
    EXPECT_EQ(readFile(folder.path("copy.flv")), bytes);
}

#endif

TEST(FileCopy, sourceThatCannotBeReadCreatesNothing)
{
    ScratchFolder folder;
    std::filesystem::create_directory(folder.path("folder.flv"));
    CopyResult result = copyFileNoReplace(folder.path("missing.flv"), folder.path("a.flv"));
    EXPECT_EQ(result.failure, CopyFailure::Source);
    EXPECT_EQ(result.error, ENOENT);
    result = copyFileNoReplace(folder.path("folder.flv"), folder.path("b.flv"));
    EXPECT_EQ(result.failure, CopyFailure::Source);
    EXPECT_EQ(result.error, EISDIR);
    EXPECT_EQ(entriesOf(folder.path()), Names{"folder.flv"});
}

#ifndef _WIN32
TEST(FileCopy, fullFileSystemLeavesNoFileAndGivesTheSystemText)
{
    ScratchFolder folder;
    if (!folder.mountSmallFileSystem("small", "1m"))
        GTEST_SKIP() << "mounting a 1 MiB tmpfs needs root; the full disk case is not run";
    const std::string bytes = patternBytes(2u << 20);
    writeFile(folder.path("source.flv"), bytes);

    for (auto first : {std::optional<CopyMethod>{}, std::optional<CopyMethod>{CopyMethod::ReadWrite}}) {
        const CopyResult result = copyFileNoReplace(folder.path("source.flv"), folder.path("small/copy.flv"),
                                                    {}, smallChunks(first));
        EXPECT_EQ(result.failure, CopyFailure::Write);
        EXPECT_EQ(systemErrorText(result.error), "No space left on device");
        EXPECT_TRUE(entriesOf(folder.path("small")).empty());
    }
    const CopyResult written = writeNewFile(folder.path("small/index.htm"), bytes);
    EXPECT_EQ(written.failure, CopyFailure::Write);
    EXPECT_EQ(written.error, ENOSPC);
    EXPECT_TRUE(entriesOf(folder.path("small")).empty());
}
#endif

#ifdef _WIN32
namespace {

/// A temporary file as a running copy holds it: open, without delete sharing.
HANDLE holdLikeALiveCopy(const std::string& path)
{
    return ::CreateFileW(std::filesystem::path(path).wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

// A killed process's handles are closed by the system: its temporary file is
// then one that nobody holds, which is what the sweep takes.
TEST(FileCopy, theSweepTakesTemporaryFilesThatNobodyHoldsAndNothingElse)
{
    ScratchFolder folder;
    writeFile(folder.path("out/gen/.dead.flv.vidlume-part"), patternBytes(70000));
    writeFile(folder.path("out/gen/.dead.flv.vidlume-part-2"), "x");
    writeFile(folder.path("out/gen/.live.flv.vidlume-part"), "being written");
    writeFile(folder.path("out/gen/.notes.txt"), "mine");
    writeFile(folder.path("out/gen/video.flv.vidlume-part"), "mine too");
    writeFile(folder.path("out/.top.flv.vidlume-part"), "not in a generation's folder");
    const HANDLE live = holdLikeALiveCopy(folder.path("out/gen/.live.flv.vidlume-part"));
    ASSERT_NE(live, INVALID_HANDLE_VALUE);

    const AbandonedFiles swept = removeAbandonedTemporaryFiles(folder.path("out"));
    EXPECT_EQ(swept.files, 2u);
    EXPECT_EQ(swept.bytes, 70001u);
    EXPECT_EQ(entriesOf(folder.path("out/gen")), (Names{".live.flv.vidlume-part", ".notes.txt", "video.flv.vidlume-part"}));
    EXPECT_TRUE(fileExists(folder.path("out/.top.flv.vidlume-part")));

    ::CloseHandle(live);
    EXPECT_EQ(removeAbandonedTemporaryFiles(folder.path("out")).files, 1u);
    EXPECT_EQ(entriesOf(folder.path("out/gen")), (Names{".notes.txt", "video.flv.vidlume-part"}));
    EXPECT_EQ(removeAbandonedTemporaryFiles(folder.path("missing")).files, 0u);
}

TEST(FileCopy, anotherCopysTemporaryFileIsLeftAloneAndNoneOfOursStays)
{
    ScratchFolder folder;
    const std::string bytes = patternBytes(300000);
    writeFile(folder.path("source.flv"), bytes);
    writeFile(temporaryNameFor(folder.path("video.flv")), "someone else's");
    ASSERT_TRUE(copyFileNoReplace(folder.path("source.flv"), folder.path("video.flv")).ok());
    EXPECT_EQ(readFile(folder.path("video.flv")), bytes);
    EXPECT_EQ(readFile(folder.path(".video.flv.vidlume-part")), "someone else's");
    EXPECT_EQ(entriesOf(folder.path()), (Names{"source.flv", "video.flv", ".video.flv.vidlume-part"}));

    // A cancel before the first byte: nothing at all.
    CopyObserver observer;
    observer.cancelRequested = [] { return true; };
    EXPECT_EQ(copyFileNoReplace(folder.path("source.flv"), folder.path("other.flv"), observer).failure,
              CopyFailure::Cancelled);
    EXPECT_EQ(entriesOf(folder.path()).size(), 3u);
}

TEST(FileCopy, copyKeepsTheModificationTimeAndIsWritableWhateverTheSource)
{
    ScratchFolder folder;
    writeFile(folder.path("source.flv"), "bytes");
    const auto modified = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    std::filesystem::last_write_time(folder.path("source.flv"), modified);
    ::SetFileAttributesW(std::filesystem::path(folder.path("source.flv")).wstring().c_str(),
                         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

    ASSERT_TRUE(copyFileNoReplace(folder.path("source.flv"), folder.path("copy.flv")).ok());
    EXPECT_EQ(std::filesystem::last_write_time(folder.path("copy.flv")),
              std::filesystem::last_write_time(folder.path("source.flv")));
    const DWORD attributes = ::GetFileAttributesW(std::filesystem::path(folder.path("copy.flv")).wstring().c_str());
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
    ::SetFileAttributesW(std::filesystem::path(folder.path("source.flv")).wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
}
#endif
