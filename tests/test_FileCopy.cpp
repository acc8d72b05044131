#include "ScratchFolder.h"
#include "platform/FileCopy.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
        // A file system without clones moves on to the next step.
        if (method != CopyMethod::Clone) {
            EXPECT_EQ(result.method, method);
        }

        const CopyResult empty =
            copyFileNoReplace(folder.path("empty.flv"), destination + ".empty", {}, smallChunks(method));
        ASSERT_TRUE(empty.ok());
        EXPECT_TRUE(fileExists(destination + ".empty"));
    }
}

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

TEST(FileCopy, bytesGoToAHiddenTemporaryNameUntilComplete)
{
    ScratchFolder folder;
    writeFile(folder.path("source.flv"), patternBytes(500000));
    // Another copy's temporary file: it must be left as it is.
    writeFile(temporaryNameFor(folder.path("video.flv")), "someone else's");

    CopyTuning tuning = smallChunks();
    Names seenDuringCopy;
    tuning.afterChunk = [&](std::uint64_t) { seenDuringCopy = entriesOf(folder.path()); };
    ASSERT_TRUE(copyFileNoReplace(folder.path("source.flv"), folder.path("video.flv"), {}, tuning).ok());

    EXPECT_EQ(seenDuringCopy, (Names{"source.flv", ".video.flv.vidlume-part", ".video.flv.vidlume-part-2"}));
    EXPECT_EQ(entriesOf(folder.path()), (Names{"source.flv", "video.flv", ".video.flv.vidlume-part"}));
    EXPECT_EQ(readFile(folder.path(".video.flv.vidlume-part")), "someone else's");

    // A name as long as the file system allows still gets its copy and its page.
    const std::string longName = std::string(251, 'v') + ".flv";
    ASSERT_TRUE(copyFileNoReplace(folder.path("source.flv"), folder.path(longName)).ok());
    ASSERT_TRUE(writeNewFile(folder.path(std::string(255, 'p')), "page").ok());
    EXPECT_EQ(entriesOf(folder.path()),
              (Names{"source.flv", "video.flv", ".video.flv.vidlume-part", longName, std::string(255, 'p')}));
}

TEST(FileCopy, neverReplacesAnExistingEntry)
{
    for (bool byLink : {false, true}) {
        SCOPED_TRACE(byLink ? "link + unlink" : "rename");
        ScratchFolder folder;
        writeFile(folder.path("source.flv"), patternBytes(300000));
        writeFile(folder.path("there.flv"), "old");

        CopyTuning tuning = smallChunks();
        tuning.linkInsteadOfRename = byLink;
        CopyResult result =
            copyFileNoReplace(folder.path("source.flv"), folder.path("there.flv"), {}, tuning);
        EXPECT_EQ(result.failure, CopyFailure::DestinationExists);

        // The name is taken while the bytes are on their way.
        tuning.afterChunk = [&](std::uint64_t) {
            if (!entryExists(folder.path("late.flv")))
                writeFile(folder.path("late.flv"), "first");
        };
        result = copyFileNoReplace(folder.path("source.flv"), folder.path("late.flv"), {}, tuning);
        EXPECT_EQ(result.failure, CopyFailure::DestinationExists);
        EXPECT_EQ(readFile(folder.path("there.flv")), "old");
        EXPECT_EQ(readFile(folder.path("late.flv")), "first");
        EXPECT_EQ(entriesOf(folder.path()), (Names{"source.flv", "there.flv", "late.flv"}));

        result = writeNewFile(folder.path("there.flv"), "new", tuning);
        EXPECT_EQ(result.failure, CopyFailure::DestinationExists);
        ASSERT_TRUE(writeNewFile(folder.path("page.htm"), std::string("a\r\n\0b", 5), tuning).ok());
        EXPECT_EQ(readFile(folder.path("page.htm")), std::string("a\r\n\0b", 5));
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

TEST(FileCopy, sourceThatCannotBeReadCreatesNothing)
{
    ScratchFolder folder;
    ::mkdir(folder.path("folder.flv").c_str(), 0777);
    CopyResult result = copyFileNoReplace(folder.path("missing.flv"), folder.path("a.flv"));
    EXPECT_EQ(result.failure, CopyFailure::Source);
    EXPECT_EQ(result.error, ENOENT);
    result = copyFileNoReplace(folder.path("folder.flv"), folder.path("b.flv"));
    EXPECT_EQ(result.failure, CopyFailure::Source);
    EXPECT_EQ(result.error, EISDIR);
    EXPECT_EQ(entriesOf(folder.path()), Names{"folder.flv"});
}

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
