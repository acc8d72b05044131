// The upload dialog's rules through a fake view, against Debian's real
// OpenSSH server on 127.0.0.1: the host key question, the page's address.
#include "RecordingLauncher.h"
#include "ScratchFolder.h"
#include "SshServer.h"

#include "form/UploadForm.h"
#include "form/UploadSites.h"
#include "app/SettingsFile.h"

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

TEST_F(UploadFormTest, TheSiteUploadedToIsOfferedFirstNextTimeWithoutItsSecret)
{
    const std::string settings = scratch.path("vidlume.ini");
    UploadTarget older;
    older.protocol = UploadProtocol::Ftps;
    older.host = "ftp.example.org";
    older.remoteFolder = "/htdocs";
    keepUploadSite(SettingsFile(settings), older);

    target.publicUrl = "https://example.org/clips/";
    view.typedSecret = "never-kept-in-the-settings";
    UploadForm form(view, scratch.path("site"), target);
    form.setKnownHostsFile(knownHosts());
    form.setSitesFile(settings);
    upload(form);
    ASSERT_NE(view.status.find("Sent 2 file(s)"), std::string::npos) << view.status;
    EXPECT_EQ(test::readFile(settings).find("never-kept"), std::string::npos);

    // Opened again with nothing given: the site used last is filled in, and both are offered.
    FakeUploadView next;
    UploadForm again(next, scratch.path("site"), UploadTarget());
    again.setSitesFile(settings);
    again.show();
    EXPECT_EQ(next.recentSites, (std::vector<std::string>{uploadAddress(target), "ftps://ftp.example.org/htdocs"}));
    EXPECT_EQ(next.fields, target);
    again.recentSiteChosen(1);
    EXPECT_EQ(next.fields, older);
    EXPECT_TRUE(next.enabled(UploadButton::Upload));
    again.recentSiteChosen(2); // past the list: nothing changes
    EXPECT_EQ(next.fields, older);
}

TEST(UploadSites, AreKeptNewestFirstOncePerAddressAndAtMostEightWithDamagedEntriesPassedOver)
{
    ScratchFolder scratch;
    const SettingsFile settings(scratch.path("vidlume.ini"));
    test::writeFile(settings.fileName(), "[settings]\nOutPutDir=/home/ann/clips\n[Upload Sites]\n"
                                         "Site1=gopher://old.example.org/\nSite2=https://dav.example.org/a%zz\n");
    EXPECT_TRUE(readUploadSites(settings).empty());

    for (int i = 0; i < 10; ++i) {
        UploadTarget site;
        site.host = "host" + std::to_string(i) + ".example.org";
        site.port = i == 3 ? 2222 : 0;
        site.auth = i == 3 ? UploadAuth::KeyFile : UploadAuth::Agent;
        site.keyFile = i == 3 ? "/home/ann/.ssh/id_ed25519" : "";
        keepUploadSite(settings, site);
    }
    UploadTarget again;
    again.host = "host3.example.org";
    again.port = 2222;
    again.publicUrl = "https://host3.example.org/\nInjected=1"; // a line break is never written
    keepUploadSite(settings, again);

    const auto sites = readUploadSites(settings);
    ASSERT_EQ(sites.size(), keptUploadSites);
    EXPECT_EQ(uploadAddress(sites[0]), "sftp://host3.example.org:2222/~");
    EXPECT_EQ(sites[0].publicUrl, "");
    EXPECT_EQ(sites[0].auth, UploadAuth::Password);
    EXPECT_EQ(sites[1].host, "host9.example.org");
    EXPECT_EQ(sites[1].auth, UploadAuth::Agent);
    EXPECT_EQ(sites[7].host, "host2.example.org");
    const std::string text = test::readFile(settings.fileName());
    EXPECT_EQ(text.find("Injected"), std::string::npos);
    EXPECT_NE(text.find("OutPutDir=/home/ann/clips"), std::string::npos);
    // The other section, the header, and four lines for each site: the damaged entries were overwritten.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 1 + 4 * 8) << text;
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
