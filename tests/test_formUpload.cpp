// The upload dialog's rules through a fake view, against Debian's real
// OpenSSH server on 127.0.0.1: the host key question, the page's address.
#include "RecordingLauncher.h"
#include "ScratchFolder.h"
#include "SshServer.h"

#include "form/UploadForm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

using namespace vidlume;
using namespace vidlume::form;
using vidlume::test::ScratchFolder;

namespace {

class FakeUploadView : public UploadFormView
{
public:
    std::string folder() const override { return localFolder; }
    void setFolder(const std::string& value) override { localFolder = value; }
    std::optional<std::string> chooseFolder() override { return std::nullopt; }
    void setRecentSites(const std::vector<std::string>& addresses) override { recentSites = addresses; }
    std::vector<std::string> recentSites;
    UploadTarget target() const override { return fields; }
    std::string secret() const override { return typedSecret; }
    bool rememberSecret() const override { return false; }
    void setTarget(const UploadTarget& value) override { fields = value; }
    void enableButton(UploadButton button, bool enabled) override { enabled_[button] = enabled; }
    void setStatus(const std::string& text) override { status = text; }
    void setProgress(int, const std::string&, const std::string&) override {}
    bool confirmHostKey(const std::string& text) override
    {
        questions.push_back(text);
        return trustKeys;
    }
    void copyToClipboard(const std::string& text) override { clipboard = text; }

    bool enabled(UploadButton button) const { return enabled_.count(button) && enabled_.at(button); }

    std::string localFolder;
    UploadTarget fields;
    std::string typedSecret;
    std::string status;
    std::vector<std::string> questions;
    bool trustKeys = true;
    std::string clipboard;

private:
    std::map<UploadButton, bool> enabled_;
};

class UploadFormTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ::unsetenv("SSH_AUTH_SOCK");
        server = new test::SshServer;
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    void SetUp() override
    {
        test::writeFile(scratch.path("site/index.htm"), "<html>clip</html>");
        test::writeFile(scratch.path("site/clip.flv"), std::string(100000, 'v'));
        test::writeFile(knownHosts(), "");
        target.host = "127.0.0.1";
        target.port = server->port();
        target.user = server->user();
        target.remoteFolder = scratch.path("remote");
        target.auth = UploadAuth::KeyFile;
        target.keyFile = server->userKey();
    }
    std::string knownHosts() const { return scratch.path("known_hosts"); }

    /// Runs the dialog's upload to its end, as the window's timer would.
    void upload(UploadForm& form)
    {
        form.show();
        form.uploadClick();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (form.poll() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(form.phase(), UploadPhase::Finished);
    }

    static test::SshServer* server;
    ScratchFolder scratch;
    UploadTarget target;
    FakeUploadView view;
    test::RecordingLauncher launcher;
};

test::SshServer* UploadFormTest::server = nullptr;

TEST_F(UploadFormTest, AnUnknownKeyIsShownAndOnceTrustedThePageIsOfferedAtItsAddress)
{
    target.publicUrl = "https://example.org/clips/";
    UploadForm form(view, scratch.path("site"), target);
    form.setKnownHostsFile(knownHosts());
    form.setLauncher(&launcher);
    upload(form);
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_NE(view.questions[0].find(server->fingerprint()), std::string::npos) << view.questions[0];
    EXPECT_EQ(test::readFile(scratch.path("remote/index.htm")), "<html>clip</html>") << view.status;
    EXPECT_NE(test::readFile(knownHosts()).find(server->knownHostsLine()), std::string::npos);
    EXPECT_NE(view.status.find("Sent 2 file(s)"), std::string::npos) << view.status;

    EXPECT_EQ(form.pageAddress(), "https://example.org/clips/index.htm");
    EXPECT_TRUE(view.enabled(UploadButton::OpenPage));
    form.openPageClick();
    form.copyAddressClick();
    EXPECT_EQ(launcher.urls, std::vector<std::string>{"https://example.org/clips/index.htm"});
    EXPECT_EQ(view.clipboard, "https://example.org/clips/index.htm");

    // Known from now on: not asked again, and nothing unchanged is sent.
    UploadForm again(view, scratch.path("site"), target);
    again.setKnownHostsFile(knownHosts());
    upload(again);
    EXPECT_EQ(view.questions.size(), 1u);
    EXPECT_NE(view.status.find("Sent 0 file(s)"), std::string::npos) << view.status;
}

TEST_F(UploadFormTest, AKeyNotTrustedOrChangedSendsNothingAndAChangedOneIsNotEvenAsked)
{
    view.trustKeys = false;
    UploadForm form(view, scratch.path("site"), target);
    form.setKnownHostsFile(knownHosts());
    upload(form);
    EXPECT_EQ(view.questions.size(), 1u);
    EXPECT_NE(view.status.find("not trusted"), std::string::npos) << view.status;
    EXPECT_FALSE(form.pageAddress().size());
    EXPECT_FALSE(std::filesystem::exists(scratch.path("remote")));

    test::writeFile(knownHosts(), "[127.0.0.1]:" + std::to_string(server->port()) +
                                      " ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIDZTEUm37dRSrhBNU5BXQTz3vrDngV5ohZSDWXfTfGgY\n");
    view.trustKeys = true;
    UploadForm changed(view, scratch.path("site"), target);
    changed.setKnownHostsFile(knownHosts());
    upload(changed);
    EXPECT_EQ(view.questions.size(), 1u);
    EXPECT_NE(view.status.find("CHANGED"), std::string::npos) << view.status;
    EXPECT_EQ(view.status.find("--accept-host-key"), std::string::npos) << view.status;
    EXPECT_FALSE(std::filesystem::exists(scratch.path("remote")));
}

TEST(UploadAddress, NamesTheTargetAsTheCommandTakesIt)
{
    UploadTarget target;
    target.host = "example.org";
    target.user = "ann";
    target.remoteFolder = "www/my clips/";
    EXPECT_EQ(uploadAddress(target), "sftp://ann@example.org/~/www/my%20clips");
    target.protocol = UploadProtocol::WebDav;
    target.port = 8443;
    target.remoteFolder = "/dav";
    target.user.clear();
    EXPECT_EQ(uploadAddress(target), "https://example.org:8443/dav");
}

} // namespace
