// Uploads over WebDAV to Debian's real Apache httpd (mod_dav) on 127.0.0.1.
#include "UploadServerCases.h"

#include "upload/DavSite.h"

#include <chrono>
#include <thread>

using namespace vidlume;

namespace {

struct WebDav
{
    using Server = vidlume::test::DavServer;
    static constexpr bool resumes = false; // a PUT is whole: a cut file is sent again
    static std::unique_ptr<upload::RemoteSite> connect(const upload::UploadUrl& url, const upload::TlsLogin& login)
    {
        return upload::connectWebDav(url, login);
    }
};

} // namespace

namespace vidlume::test {
INSTANTIATE_TYPED_TEST_SUITE_P(WebDav, UploadOverTls, ::testing::Types<WebDav>);
} // namespace vidlume::test

namespace {

class UploadWebDavPlain : public vidlume::test::UploadOverTls<WebDav>
{
};

TEST_F(UploadWebDavPlain, PasswordIsNeverSentOverPlainHttp)
{
    bool asked = false;
    upload::TlsLogin login = this->login();
    login.password = [&asked] {
        asked = true;
        return std::optional<std::string>(server->password());
    };
    std::string error;
    const auto url = upload::parseUploadUrl(server->plainUrl(folder), error);
    ASSERT_TRUE(url) << error;
    try {
        upload::connectWebDav(*url, login);
        FAIL() << "a password-protected folder opened over plain HTTP";
    } catch (const upload::RemoteError& refused) {
        EXPECT_NE(std::string(refused.what()).find("only over HTTPS"), std::string::npos) << refused.what();
    }
    EXPECT_FALSE(asked);
    // The server writes its log line after it has answered.
    std::string requests = server->requests();
    for (int wait = 0; wait < 60 && requests.find("PROPFIND /www/" + folder) == std::string::npos; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        requests = server->requests();
    }
    EXPECT_NE(requests.find("PROPFIND /www/" + folder), std::string::npos) << requests;
    EXPECT_EQ(requests.find("Basic"), std::string::npos) << requests;
}

} // namespace
