#pragma once

// The cases every upload protocol over TLS must pass, against a real server
// (TlsServers.h). A test file instantiates them with its protocol's traits:
// Server, connect(url, login) and the resume rule it promises.
#include "ScratchFolder.h"
#include "TlsServers.h"

#include "app/Error.h"
#include "upload/CurlConnection.h"
#include "upload/LocalFolder.h"
#include "upload/Manifest.h"
#include "upload/Upload.h"
#include "upload/UploadUrl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <sys/mount.h>

namespace vidlume::test {

inline std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

template <class Traits>
class UploadOverTls : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ::unsetenv("VIDLUME_PASSWORD");
        try {
            server = new typename Traits::Server;
        } catch (const std::exception& error) {
            skipReason = error.what();
        }
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    void SetUp() override
    {
        if (!server)
            GTEST_SKIP() << skipReason;
        static int count = 0;
        folder = "t" + std::to_string(++count);
        writeFile(local("video.flv"), randomBytes(3u << 20, 1));
        writeFile(local("index.htm"), "<html>first</html>");
    }

    std::string local(const std::string& name = {}) const { return scratch.path("site/" + name); }
    std::string remote(const std::string& name = {}) const { return server->served(folder + "/" + name); }

    upload::TlsLogin login() const
    {
        upload::TlsLogin login;
        login.user = server->user();
        login.caFile = server->caFile();
        login.password = [] { return std::optional<std::string>(server->password()); };
        return login;
    }
    upload::UploadUrl url(const std::string& host = "127.0.0.1") const
    {
        std::string error;
        return *upload::parseUploadUrl(server->url(folder, host), error);
    }
    upload::UploadReport upload(const upload::UploadControl& control = {}, const upload::TlsLogin* with = nullptr,
                                const std::string& host = "127.0.0.1")
    {
        upload::LocalFolder files = upload::scanLocalFolder(local());
        upload::hashLocalFiles(files, control);
        const auto site = Traits::connect(url(host), with ? *with : login());
        return upload::uploadFolder(files, *site, control);
    }
    /// Runs vidlume-cli upload as a user would, the password in the environment.
    int command(const std::string& before, const std::string& options)
    {
        ::setenv("VIDLUME_PASSWORD", server->password().c_str(), 1);
        const std::string line = before + " " + VIDLUME_CLI_PATH + " upload --user " + server->user() +
                                 " --ca-file " + server->caFile() + " " + options + " " + local() + " " +
                                 server->url(folder, "127.0.0.1") + " > " + scratch.path("out") + " 2> " +
                                 scratch.path("err");
        const int status = std::system(line.c_str());
        ::unsetenv("VIDLUME_PASSWORD");
        return WEXITSTATUS(status);
    }

    static inline typename Traits::Server* server = nullptr;
    static inline std::string skipReason;
    ScratchFolder scratch;
    std::string folder;
};

TYPED_TEST_SUITE_P(UploadOverTls);

TYPED_TEST_P(UploadOverTls, CopiesThenSendsOnlyWhatChanged)
{
    writeFile(this->local("clips/a b/index.htm"), "<html>a</html>");
    const upload::UploadReport first = this->upload();
    EXPECT_EQ(first.sent.size(), 3u);
    EXPECT_EQ(readFile(this->remote("video.flv")), readFile(this->local("video.flv")));
    EXPECT_EQ(readFile(this->remote("clips/a b/index.htm")), "<html>a</html>");
    EXPECT_EQ(first.placed.back(), "index.htm");

    const upload::UploadReport again = this->upload();
    EXPECT_TRUE(again.manifestTrusted);
    EXPECT_EQ(again.bytesSent, 0u);

    writeFile(this->local("video.flv"), randomBytes(3u << 20, 2)); // same size, other bytes
    EXPECT_EQ(this->upload().sent, std::vector<std::string>{"video.flv"});
    EXPECT_EQ(readFile(this->remote("video.flv")), readFile(this->local("video.flv")));
    for (const auto& entry : std::filesystem::directory_iterator(this->remote()))
        EXPECT_EQ(entry.path().filename().string().find(".vidlume-part-"), std::string::npos) << entry.path();
}

TYPED_TEST_P(UploadOverTls, OldPageStaysLiveUntilItsNewVideoIsWhole)
{
    this->upload();
    writeFile(this->local("video.flv"), randomBytes(3u << 20, 3));
    writeFile(this->local("index.htm"), "<html>second</html>");
    const std::string oldVideo = readFile(this->remote("video.flv"));
    bool looked = false;
    upload::UploadControl control;
    control.onProgress = [&](const upload::UploadProgress& progress) {
        if (progress.hashing || looked || progress.bytesDone < (2u << 20))
            return;
        looked = true;
        EXPECT_EQ(readFile(this->remote("index.htm")), "<html>first</html>");
        EXPECT_EQ(readFile(this->remote("video.flv")), oldVideo);
    };
    const upload::UploadReport report = this->upload(control);
    EXPECT_TRUE(looked);
    EXPECT_EQ(report.placed, (std::vector<std::string>{"video.flv", "index.htm"}));
    EXPECT_EQ(readFile(this->remote("index.htm")), "<html>second</html>");
}

TYPED_TEST_P(UploadOverTls, WrongPasswordOrUnverifiedCertificateIsRefusedBeforeAnythingIsWritten)
{
    upload::TlsLogin wrong = this->login();
    wrong.password = [] { return std::optional<std::string>("not the password"); };
    try {
        this->upload({}, &wrong);
        ADD_FAILURE() << "logged in with a wrong password";
    } catch (const upload::RemoteError& error) {
        EXPECT_NE(std::string(error.what()).find("refused the login"), std::string::npos) << error.what();
    }
    // The test CA is not among the system's; and the certificate names 127.0.0.1 only.
    const upload::TlsLogin untrusting = [this] {
        upload::TlsLogin login = this->login();
        login.caFile.clear();
        return login;
    }();
    const upload::TlsLogin trusting = this->login();
    for (const auto& [with, host] : {std::pair(&untrusting, "127.0.0.1"), std::pair(&trusting, "localhost")}) {
        try {
            this->upload({}, with, host);
            ADD_FAILURE() << "an unverified certificate was accepted for " << host;
        } catch (const upload::RemoteError& error) {
            EXPECT_NE(std::string(error.what()).find("certificate could not be verified"), std::string::npos)
                << error.what();
        }
    }
    EXPECT_FALSE(std::filesystem::exists(this->remote()));
}

TYPED_TEST_P(UploadOverTls, DamagedRemoteManifestSendsEverythingAndDeleteKeepsTheUsersOwnFiles)
{
    writeFile(this->local("old.flv"), "old");
    this->upload();
    writeFile(this->remote(upload::manifestName), "vidlume-upload-manifest 1\nnot a line\n");
    const upload::UploadReport report = this->upload();
    EXPECT_FALSE(report.manifestTrusted);
    EXPECT_EQ(report.sent.size(), 3u);

    writeFile(this->remote("users-own.txt"), "kept");
    std::filesystem::remove(this->local("old.flv"));
    upload::UploadControl deleting;
    deleting.deleteMissing = true;
    EXPECT_EQ(this->upload(deleting).deleted, std::vector<std::string>{"old.flv"});
    EXPECT_FALSE(std::filesystem::exists(this->remote("old.flv")));
    EXPECT_EQ(readFile(this->remote("users-own.txt")), "kept");
}

TYPED_TEST_P(UploadOverTls, UnwritableOrFullRemoteFolderLeavesTheOldPageLive)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to take the server's rights away and to mount a small disk";
    this->upload();
    writeFile(this->local("index.htm"), "<html>second</html>");
    writeFile(this->local("video.flv"), randomBytes(3u << 20, 8));
    std::filesystem::permissions(this->remote(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    try {
        this->upload();
        ADD_FAILURE() << "an upload into an unwritable folder succeeded";
    } catch (const upload::RemoteError& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find("the server answered"), std::string::npos) << text;
        EXPECT_NE(text.find("pages on the server were left as they were"), std::string::npos) << text;
    }
    EXPECT_EQ(readFile(this->remote("index.htm")), "<html>first</html>");

    // A disk too small for the old video and the new one side by side.
    std::filesystem::remove_all(this->remote());
    std::filesystem::create_directory(this->remote());
    if (::mount("tmpfs", this->remote().c_str(), "tmpfs", 0, "size=4M") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    struct Unmount
    {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{this->remote()};
    this->server->ownedByServer(this->remote());
    writeFile(this->local("video.flv"), randomBytes(1u << 20, 6));
    writeFile(this->local("index.htm"), "<html>first</html>");
    this->upload();
    writeFile(this->local("video.flv"), randomBytes(3u << 20, 7));
    writeFile(this->local("index.htm"), "<html>second</html>");
    EXPECT_THROW(this->upload(), upload::RemoteError);
    EXPECT_EQ(readFile(this->remote("index.htm")), "<html>first</html>");
    EXPECT_EQ(readFile(this->remote("video.flv")).size(), 1u << 20);
}

TYPED_TEST_P(UploadOverTls, CutUploadNeverShowsAPartialFileAndTheRerunFinishesIt)
{
    const std::size_t size = 12u << 20;
    writeFile(this->local("video.flv"), randomBytes(size, 4));
    upload::UploadControl cutting;
    bool cut = false;
    cutting.onProgress = [&](const upload::UploadProgress& progress) {
        if (!progress.hashing && !cut && progress.bytesDone >= (6u << 20)) {
            cut = true;
            this->server->cutConnections();
        }
    };
    EXPECT_THROW(this->upload(cutting), upload::RemoteError);
    ASSERT_TRUE(cut);
    EXPECT_FALSE(std::filesystem::exists(this->remote("index.htm")));
    EXPECT_FALSE(std::filesystem::exists(this->remote("video.flv")));

    const upload::UploadReport rerun = this->upload();
    if (TypeParam::resumes) {
        EXPECT_GE(rerun.bytesResumed, 4u << 20);
        EXPECT_LE(rerun.bytesSent + rerun.bytesResumed, size + 1024);
    } else {
        EXPECT_EQ(rerun.bytesResumed, 0u);
    }
    EXPECT_EQ(readFile(this->remote("video.flv")), readFile(this->local("video.flv")));
}

TYPED_TEST_P(UploadOverTls, CtrlCStopsWithinASecondLeavingTheSiteAsItWas)
{
    ASSERT_EQ(this->command("", ""), 0) << readFile(this->scratch.path("err"));
    EXPECT_EQ(readFile(this->scratch.path("out")), this->server->url(this->folder, "127.0.0.1") + "/index.htm\n");
    writeFile(this->local("video.flv"), randomBytes(8u << 20, 5));
    writeFile(this->local("index.htm"), "<html>second</html>");
    const auto started = std::chrono::steady_clock::now();
    const int status = this->command("timeout --preserve-status -s INT 1.5", "--limit-rate 1M");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(status, 130) << readFile(this->scratch.path("err"));
    EXPECT_LT(seconds, 2.5);
    EXPECT_EQ(readFile(this->remote("index.htm")), "<html>first</html>");
    EXPECT_EQ(readFile(this->remote("video.flv")).size(), 3u << 20);
    EXPECT_EQ(this->command("", ""), 0) << readFile(this->scratch.path("err"));
    EXPECT_EQ(readFile(this->remote("index.htm")), "<html>second</html>");
}

REGISTER_TYPED_TEST_SUITE_P(UploadOverTls, CopiesThenSendsOnlyWhatChanged, OldPageStaysLiveUntilItsNewVideoIsWhole,
                            WrongPasswordOrUnverifiedCertificateIsRefusedBeforeAnythingIsWritten,
                            DamagedRemoteManifestSendsEverythingAndDeleteKeepsTheUsersOwnFiles,
                            UnwritableOrFullRemoteFolderLeavesTheOldPageLive,
                            CutUploadNeverShowsAPartialFileAndTheRerunFinishesIt,
                            CtrlCStopsWithinASecondLeavingTheSiteAsItWas);

} // namespace vidlume::test
