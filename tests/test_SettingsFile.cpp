#include "app/SettingsFile.h"

#include "ScratchFolder.h"
#include "app/Error.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using vidlume::SettingsFile;
using namespace vidlume::test;

namespace {

#ifdef _WIN32
// A new file gets the line breaks of the system's profile functions.
const std::string newLine = "\r\n";
#else
const std::string newLine = "\n";
#endif

std::size_t entriesIn(const std::string& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

void expectWriteFails(const std::string& fileName)
{
    try {
        SettingsFile(fileName).writeString("settings", "OutPutDir", "/x");
        FAIL() << "the write did not fail";
    } catch (const vidlume::Error& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + fileName);
    }
}

#ifndef _WIN32
/// Runs a write as an ordinary user (nobody) in a child process, since root may
/// write where users may not. The result: the error text, or empty on success.
std::string writeAsOrdinaryUser(const std::string& fileName)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        std::string result;
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            result = "cannot become nobody";
        else {
            try {
                SettingsFile(fileName).writeString("settings", "OutPutDir", "/x");
            } catch (const vidlume::Error& error) {
                result = error.what();
            }
        }
        [[maybe_unused]] auto written = ::write(pipeEnds[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string result;
    char buffer[256];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return result;
}

/// A scratch folder that the ordinary user may reach.
void openToEveryone(const ScratchFolder& folder)
{
    ::chmod(folder.path().c_str(), 0755);
}

uid_t ownerOf(const std::string& path)
{
    struct stat info
    {
    };
    ::stat(path.c_str(), &info);
    return info.st_uid;
}
#endif

} // namespace

TEST(SettingsFile, createsTheFileAndLeavesNoTemporaryFileBehind)
{
    ScratchFolder folder;
    SettingsFile(folder.path("vidlume.ini")).writeString("settings", "OutPutDir", "/home/ann/vidlume");
    EXPECT_EQ(readFile(folder.path("vidlume.ini")), "[settings]" + newLine + "OutPutDir=/home/ann/vidlume" + newLine);
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(SettingsFile, keepsOtherSectionsAndThePermissionsOfAnExistingFile)
{
    ScratchFolder folder;
    writeFile(folder.path("vidlume.ini"), "[window]\nLeft=10\n[Settings]\noutputdir=/old\n");
    std::filesystem::permissions(folder.path("vidlume.ini"), std::filesystem::perms(0640));

    SettingsFile(folder.path("vidlume.ini")).writeString("settings", "OutPutDir", "/new");

    EXPECT_EQ(readFile(folder.path("vidlume.ini")), "[window]\nLeft=10\n[Settings]\noutputdir=/new\n");
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(folder.path("vidlume.ini")).permissions(),
              std::filesystem::perms(0640));
#endif
}

TEST(SettingsFile, aFolderThatCannotHoldTheFileGivesUnableToWrite)
{
    ScratchFolder folder;
    writeFile(folder.path("plain"), "not a folder");
    expectWriteFails(folder.path("plain/vidlume.ini"));
    expectWriteFails(folder.path("missing/vidlume.ini"));
}

#ifndef _WIN32
TEST(SettingsFile, aReadOnlyProgramFolderGivesUnableToWriteAndKeepsTheOldFile)
{
    ScratchFolder scratch;
    const std::string folder = scratch.path("program");
    // Root writes into read-only folders, so as root the folder is a file system
    // mounted read-only instead.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot && !scratch.mountSmallFileSystem("program", "64k"))
        GTEST_SKIP() << "cannot mount a tmpfs here";
    // A user's own file in a read-only folder could still be updated in place, so
    // as a user the folder holds none.
    if (asRoot)
        writeFile(folder + "/vidlume.ini", "[window]\nLeft=10\n");
    else
        std::filesystem::create_directories(folder);
    if (asRoot)
        ASSERT_EQ(::mount("tmpfs", folder.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    else
        std::filesystem::permissions(folder, std::filesystem::perms(0555));

    expectWriteFails(folder + "/vidlume.ini");
    if (asRoot)
        EXPECT_EQ(readFile(folder + "/vidlume.ini"), "[window]\nLeft=10\n");
    else
        EXPECT_EQ(entriesIn(folder), 0u);
    std::error_code ignored; // lets the scratch folder go again
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
}

#endif

TEST(SettingsFile, aReadOnlyFileGivesUnableToWriteAndStaysAsItWas)
{
    ScratchFolder folder;
    writeFile(folder.path("vidlume.ini"), "[window]\nLeft=10\n");
    std::filesystem::permissions(folder.path("vidlume.ini"), std::filesystem::perms(0444));
#ifndef _WIN32
    if (::geteuid() == 0) {
        // Root may write it, so the user is an ordinary one who owns file and folder.
        openToEveryone(folder);
        ASSERT_EQ(::chown(folder.path().c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chown(folder.path("vidlume.ini").c_str(), 65534, 65534), 0);
        EXPECT_EQ(writeAsOrdinaryUser(folder.path("vidlume.ini")),
                  "Unable to write to " + folder.path("vidlume.ini"));
    } else
#endif
    {
        expectWriteFails(folder.path("vidlume.ini"));
    }
    EXPECT_EQ(readFile(folder.path("vidlume.ini")), "[window]\nLeft=10\n");
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

#ifndef _WIN32
// What the system lets the user do decides, not the mode bits: another user's
// file that the user may not write is kept even in the user's own folder, and a
// file the user may write is updated in place in a folder the user may not write.
TEST(SettingsFile, writesExactlyWhereTheSystemLetsTheUserWrite)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to set up files of another user";
    ScratchFolder scratch;
    openToEveryone(scratch);
    const std::string own = scratch.path("own");
    const std::string locked = scratch.path("locked");
    writeFile(own + "/vidlume.ini", "[window]\nLeft=10\n");
    writeFile(locked + "/vidlume.ini", "[window]\nLeft=10\n");
    ASSERT_EQ(::chmod(own.c_str(), 0755), 0);
    ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod((own + "/vidlume.ini").c_str(), 0644), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0755), 0);
    ASSERT_EQ(::chmod((locked + "/vidlume.ini").c_str(), 0666), 0);

    EXPECT_EQ(writeAsOrdinaryUser(own + "/vidlume.ini"), "Unable to write to " + own + "/vidlume.ini");
    EXPECT_EQ(readFile(own + "/vidlume.ini"), "[window]\nLeft=10\n");
    EXPECT_EQ(ownerOf(own + "/vidlume.ini"), 0u);
    EXPECT_EQ(entriesIn(own), 1u);

    EXPECT_EQ(writeAsOrdinaryUser(locked + "/vidlume.ini"), "");
    EXPECT_EQ(readFile(locked + "/vidlume.ini"), "[window]\nLeft=10\n[settings]\nOutPutDir=/x\n");
    EXPECT_EQ(ownerOf(locked + "/vidlume.ini"), 0u);
    EXPECT_EQ(entriesIn(locked), 1u);
}

TEST(SettingsFile, writesThroughALinkAndKeepsTheLink)
{
    ScratchFolder folder;
    writeFile(folder.path("real.ini"), "[window]\nLeft=10\n");
    std::filesystem::create_symlink("real.ini", folder.path("vidlume.ini"));
    SettingsFile(folder.path("vidlume.ini")).writeString("settings", "OutPutDir", "/x");
    EXPECT_TRUE(std::filesystem::is_symlink(folder.path("vidlume.ini")));
    EXPECT_EQ(readFile(folder.path("real.ini")), "[window]\nLeft=10\n[settings]\nOutPutDir=/x\n");
}

#endif

TEST(SettingsFile, aFolderInPlaceOfTheFileGivesUnableToWrite)
{
    ScratchFolder folder;
    std::filesystem::create_directory(folder.path("vidlume.ini"));
    expectWriteFails(folder.path("vidlume.ini"));
}

#ifdef _WIN32
// The file is in the system's single-byte code page, as the profile functions
// write it; a folder name that the code page cannot hold turns the file into
// UTF-16 with a byte-order mark, which they read too, and nothing is lost.
TEST(SettingsFile, isSingleByteWhileTheCodePageHoldsTheTextAndUtf16Otherwise)
{
    if (::GetACP() != 1252)
        GTEST_SKIP() << "the bytes below are those of code page 1252, this system uses " << ::GetACP();
    ScratchFolder folder;
    const std::string file = folder.path("vidlume.ini");
    SettingsFile(file).writeString("settings", "OutPutDir", "C:\\Users\\Jos\xC3\xA9\\vidlume");
    EXPECT_EQ(readFile(file), "[settings]\r\nOutPutDir=C:\\Users\\Jos\xE9\\vidlume\r\n");

    // "\xC5\x81" is the letter L with stroke, which code page 1252 lacks.
    SettingsFile(file).writeString("settings", "OutPutDir", "C:\\Users\\\xC5\x81ukasz\\vidlume");
    const std::wstring expected = L"[settings]\r\nOutPutDir=C:\\Users\\\u0141ukasz\\vidlume\r\n";
    std::string utf16 = "\xFF\xFE";
    for (wchar_t unit : expected)
        utf16 += std::string{char(unit & 0xFF), char(unit >> 8)};
    EXPECT_EQ(readFile(file), utf16);
    wchar_t value[64] = {};
    ::GetPrivateProfileStringW(L"settings", L"OutPutDir", L"", value, 64, std::filesystem::path(file).wstring().c_str());
    EXPECT_EQ(std::wstring(value), L"C:\\Users\\\u0141ukasz\\vidlume");

    // Once UTF-16, it stays so, and other keys are kept.
    SettingsFile(file).writeString("window", "Left", "10");
    SettingsFile(file).writeString("settings", "OutPutDir", "C:\\Plain");
    ::GetPrivateProfileStringW(L"settings", L"OutPutDir", L"", value, 64, std::filesystem::path(file).wstring().c_str());
    EXPECT_EQ(std::wstring(value), L"C:\\Plain");
    EXPECT_EQ(readFile(file).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}
#endif
