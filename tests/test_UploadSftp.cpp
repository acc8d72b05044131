// Uploads over SFTP to Debian's real OpenSSH server on 127.0.0.1.
#include "ScratchFolder.h"
#include "SshServer.h"

#include "app/Error.h"
#include "upload/LocalFolder.h"
#include "upload/Manifest.h"
#include "upload/SftpSite.h"
#include "upload/Upload.h"
#include "upload/UploadUrl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace vidlume;
using namespace vidlume::upload;
using vidlume::test::ScratchFolder;
using vidlume::test::SshServer;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

class UploadSftp : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Only what a test gives: no agent, no default keys from a home folder.
        ::unsetenv("SSH_AUTH_SOCK");
        ::unsetenv("VIDLUME_PASSWORD");
        server = new SshServer;
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        ::setenv("HOME", scratch.path().c_str(), 1);
        writeFile(knownHosts(), server->knownHostsLine());
        writeFile(local("video.flv"), randomBytes(3u << 20, 1));
        writeFile(local("index.htm"), "<html>first</html>");
    }

    std::string local(const std::string& name = {}) const { return scratch.path("site/" + name); }
    std::string remote(const std::string& name = {}) const { return scratch.path("remote/www/" + name); }
    std::string knownHosts() const { return scratch.path("known_hosts"); }

    SshLogin login() const
    {
        SshLogin login;
        login.user = server->user();
        login.identityFile = server->userKey();
        login.knownHostsFile = knownHosts();
        return login;
    }
    UploadUrl url() const
    {
        std::string error;
        return *parseUploadUrl("sftp://127.0.0.1:" + std::to_string(server->port()) + remote(), error);
    }
    UploadReport upload(const UploadControl& control = {}, const SshLogin* with = nullptr)
    {
        LocalFolder folder = scanLocalFolder(local());
        hashLocalFiles(folder, control);
        const auto site = connectSftp(url(), with ? *with : login());
        return uploadFolder(folder, *site, control);
    }

    static SshServer* server;
    ScratchFolder scratch;
};

SshServer* UploadSftp::server = nullptr;

TEST_F(UploadSftp, CopiesThenSendsOnlyWhatChanged)
{
    writeFile(local("clips/a/index.htm"), "<html>a</html>");
    const UploadReport first = upload();
    EXPECT_FALSE(first.manifestTrusted);
    EXPECT_EQ(first.sent.size(), 3u);
    EXPECT_EQ(readAll(remote("video.flv")), readAll(local("video.flv")));
    EXPECT_EQ(readAll(remote("clips/a/index.htm")), "<html>a</html>");
    EXPECT_TRUE(std::filesystem::exists(remote(manifestName)));
    // The top page is placed last, after the pages and media it links to.
    EXPECT_EQ(first.placed.back(), "index.htm");

    struct stat before = {};
    ::stat(remote("video.flv").c_str(), &before);
    const UploadReport again = upload();
    EXPECT_TRUE(again.manifestTrusted);
    EXPECT_EQ(again.bytesSent, 0u);
    EXPECT_TRUE(again.sent.empty());
    struct stat after = {};
    ::stat(remote("video.flv").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);

    // Same size, other content: only the manifest's digest tells.
    writeFile(local("video.flv"), randomBytes(3u << 20, 2));
    const UploadReport changed = upload();
    EXPECT_EQ(changed.sent, std::vector<std::string>{"video.flv"});
    EXPECT_EQ(readAll(remote("video.flv")), readAll(local("video.flv")));
    // Nothing of ours stays beside the files.
    for (const auto& entry : std::filesystem::directory_iterator(remote()))
        EXPECT_EQ(entry.path().filename().string().find(".vidlume-part-"), std::string::npos) << entry.path();
}

TEST_F(UploadSftp, OldPageStaysLiveUntilItsNewVideoIsWhole)
{
    upload();
    writeFile(local("video.flv"), randomBytes(3u << 20, 3));
    writeFile(local("index.htm"), "<html>second</html>");
    const std::string oldVideo = readAll(remote("video.flv"));
    bool looked = false;
    UploadControl control;
    control.onProgress = [&](const UploadProgress& progress) {
        if (progress.hashing || looked || progress.bytesDone < (2u << 20))
            return;
        // Mid-video: visitors still get the old page and the old, whole video.
        looked = true;
        EXPECT_EQ(readAll(remote("index.htm")), "<html>first</html>");
        EXPECT_EQ(readAll(remote("video.flv")), oldVideo);
    };
    const UploadReport report = upload(control);
    EXPECT_TRUE(looked);
    EXPECT_EQ(report.placed, (std::vector<std::string>{"video.flv", "index.htm"}));
    EXPECT_EQ(readAll(remote("index.htm")), "<html>second</html>");
}

TEST_F(UploadSftp, UnknownOrChangedHostKeyIsRefusedBeforeAnythingIsWritten)
{
    writeFile(knownHosts(), "");
    try {
        upload();
        FAIL() << "an unknown host key was accepted";
    } catch (const Error& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find("ssh-ed25519"), std::string::npos) << text;
        EXPECT_NE(text.find(server->fingerprint()), std::string::npos) << text;
        EXPECT_NE(text.find("--accept-host-key"), std::string::npos) << text;
    }
    EXPECT_FALSE(std::filesystem::exists(remote()));

    // Another key recorded for this server and port.
    const std::string other = "[127.0.0.1]:" + std::to_string(server->port()) +
                              " ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIDZTEUm37dRSrhBNU5BXQTz3vrDngV5ohZSDWXfTfGgY\n";
    writeFile(knownHosts(), "# kept as it is\n@cert-authority * ssh-ed25519 AAAA\n" + other);
    try {
        upload();
        FAIL() << "a changed host key was accepted";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("CHANGED"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(remote()));

    // Trusting the shown key appends one line and leaves the others alone.
    SshLogin trusting = login();
    trusting.acceptFingerprint = server->fingerprint();
    upload({}, &trusting);
    EXPECT_EQ(readAll(knownHosts()),
              "# kept as it is\n@cert-authority * ssh-ed25519 AAAA\n" + other + server->knownHostsLine());
    upload(); // and is known from now on
}

TEST_F(UploadSftp, WrongKeyOrPasswordIsRefused)
{
    const std::string otherKey = scratch.path("other_key");
    ASSERT_EQ(std::system(("ssh-keygen -q -t ecdsa -N '' -f " + otherKey).c_str()), 0);
    SshLogin wrong = login();
    wrong.identityFile = otherKey;
    wrong.password = [] { return std::optional<std::string>("not the password"); };
    try {
        upload({}, &wrong);
        FAIL() << "logged in with a wrong key and password";
    } catch (const RemoteError& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find("refused the login"), std::string::npos) << text;
        EXPECT_NE(text.find("a password"), std::string::npos) << text;
    }
    EXPECT_FALSE(std::filesystem::exists(remote()));

    const std::string rsaKey = scratch.path("rsa_key");
    ASSERT_EQ(std::system(("ssh-keygen -q -t rsa -b 2048 -N '' -f " + rsaKey).c_str()), 0);
    wrong.identityFile = rsaKey;
    wrong.password = nullptr;
    try {
        upload({}, &wrong);
        FAIL() << "logged in with an RSA key";
    } catch (const RemoteError& error) {
        EXPECT_NE(std::string(error.what()).find("ed25519 or ECDSA"), std::string::npos) << error.what();
    }
}

TEST_F(UploadSftp, KeyWithPassphraseLogsInWithTheRightAnswerOnly)
{
    const std::string key = scratch.path("locked_key");
    ASSERT_EQ(std::system(("ssh-keygen -q -t ecdsa -N 'open sesame' -f " + key).c_str()), 0);
    server->authorize(key + ".pub");
    SshLogin locked = login();
    locked.identityFile = key;
    locked.passphrase = [](const std::string&) { return std::optional<std::string>("open says me"); };
    try {
        upload({}, &locked);
        ADD_FAILURE() << "a wrong passphrase logged in";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("wrong passphrase?"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(remote("index.htm")));
    std::string asked;
    locked.passphrase = [&asked](const std::string& prompt) {
        asked = prompt;
        return std::optional<std::string>("open sesame");
    };
    upload({}, &locked);
    EXPECT_NE(asked.find(key), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(remote("index.htm")));
}

TEST_F(UploadSftp, DeleteRemovesOnlyWhatAnUploadSent)
{
    writeFile(local("old.flv"), "old");
    upload();
    writeFile(remote("users-own.txt"), "kept");
    std::filesystem::remove(local("old.flv"));
    UploadControl deleting;
    deleting.deleteMissing = true;
    EXPECT_EQ(upload(deleting).deleted, std::vector<std::string>{"old.flv"});
    EXPECT_FALSE(std::filesystem::exists(remote("old.flv")));
    EXPECT_EQ(readAll(remote("users-own.txt")), "kept");
}

TEST_F(UploadSftp, DamagedRemoteManifestSendsEverything)
{
    upload();
    writeFile(remote(manifestName), "vidlume-upload-manifest 1\nnot a line\n");
    const UploadReport report = upload();
    EXPECT_FALSE(report.manifestTrusted);
    EXPECT_EQ(report.sent.size(), 2u);
    EXPECT_TRUE(readManifest(readAll(remote(manifestName))).has_value());
}

TEST_F(UploadSftp, CutUploadResumesFromItsTemporaryFile)
{
    const std::size_t size = 12u << 20;
    writeFile(local("video.flv"), randomBytes(size, 4));
    UploadControl cutting;
    bool cut = false;
    cutting.onProgress = [&](const UploadProgress& progress) {
        if (!progress.hashing && !cut && progress.bytesDone >= (6u << 20)) {
            cut = true;
            server->cutConnections();
        }
    };
    EXPECT_THROW(upload(cutting), RemoteError);
    ASSERT_TRUE(cut);
    // No page over a partial file: neither is in place yet.
    EXPECT_FALSE(std::filesystem::exists(remote("index.htm")));
    EXPECT_FALSE(std::filesystem::exists(remote("video.flv")));

    const UploadReport rerun = upload();
    EXPECT_GE(rerun.bytesResumed, 4u << 20);
    EXPECT_LE(rerun.bytesSent + rerun.bytesResumed, size + 1024);
    EXPECT_EQ(readAll(remote("video.flv")), readAll(local("video.flv")));
}

TEST_F(UploadSftp, CommandLeavesOutLinksToOutsideAndNamesThem)
{
    writeFile(scratch.path("secret"), "private");
    std::filesystem::create_symlink(scratch.path("secret"), local("poster.jpg"));
    std::filesystem::create_symlink(local("index.htm"), local("start.htm")); // inside: sent
    const std::string command = std::string(VIDLUME_CLI_PATH) + " upload --identity " + server->userKey() +
                                " --known-hosts " + knownHosts() + " --user " + server->user() + " " + local() +
                                " sftp://127.0.0.1:" + std::to_string(server->port()) + remote() + " > " +
                                scratch.path("out") + " 2> " + scratch.path("err");
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 3) << readAll(scratch.path("err"));
    EXPECT_NE(readAll(scratch.path("err")).find("poster.jpg"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(remote("poster.jpg")));
    EXPECT_EQ(readAll(remote("start.htm")), "<html>first</html>");
    EXPECT_EQ(readAll(scratch.path("out")),
              "sftp://127.0.0.1:" + std::to_string(server->port()) + remote() + "index.htm\n");
}

TEST_F(UploadSftp, FullServerDiskLeavesTheOldPageLive)
{
    if (!scratch.mountSmallFileSystem("remote", "4M"))
        GTEST_SKIP() << "cannot mount a small file system here (not root)";
    writeFile(local("video.flv"), randomBytes(1u << 20, 6));
    upload();
    writeFile(local("video.flv"), randomBytes(3u << 20, 7)); // the old one and this do not fit
    writeFile(local("index.htm"), "<html>second</html>");
    try {
        upload();
        FAIL() << "an upload onto a full disk succeeded";
    } catch (const RemoteError& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find("video.flv"), std::string::npos) << "[" << text << "]";
        EXPECT_NE(text.find("pages on the server were left as they were"), std::string::npos) << text;
    }
    EXPECT_EQ(readAll(remote("index.htm")), "<html>first</html>");
    EXPECT_EQ(readAll(remote("video.flv")).size(), 1u << 20);
}

TEST_F(UploadSftp, CtrlCStopsWithinASecondLeavingTheSiteAsItWas)
{
    upload();
    writeFile(local("video.flv"), randomBytes(8u << 20, 5));
    writeFile(local("index.htm"), "<html>second</html>");
    const std::string command = "timeout --preserve-status -s INT 1.5 " + std::string(VIDLUME_CLI_PATH) +
                                " upload --limit-rate 1M --identity " + server->userKey() + " --known-hosts " +
                                knownHosts() + " --user " + server->user() + " " + local() + " sftp://127.0.0.1:" +
                                std::to_string(server->port()) + remote() + " > /dev/null 2> " + scratch.path("err");
    const auto started = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(WEXITSTATUS(status), 130) << readAll(scratch.path("err"));
    EXPECT_LT(seconds, 2.5);
    EXPECT_EQ(readAll(remote("index.htm")), "<html>first</html>");
    EXPECT_EQ(readAll(remote("video.flv")).size(), 3u << 20);
    // The rerun continues the part sent before the stop.
    EXPECT_GT(upload().bytesResumed, 0u);
}

} // namespace
