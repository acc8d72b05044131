// Upload passwords in the desktop's keyring. On Linux the suite runs inside
// servers/keyring-desktop.sh (a private desktop bus with GNOME Keyring's Secret
// Service, HOME in a scratch folder); on Windows against Wine's Credential
// Manager. The host names are the test's own, so nothing real is overwritten.
#include "platform/Keyring.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include "ScratchFolder.h"
#include "TlsServers.h"

#include <chrono>
#include <sys/socket.h>
#include <sys/un.h>
#endif

using vidlume::platform::KeyringKey;
using vidlume::platform::findUploadPassword;
using vidlume::platform::forgetUploadPassword;
using vidlume::platform::storeUploadPassword;

namespace {

void store(const KeyringKey& key, const std::string& secret)
{
    std::string error;
    ASSERT_TRUE(storeUploadPassword(key, secret, error)) << error;
}

void forget(const KeyringKey& key)
{
    std::string error;
    ASSERT_TRUE(forgetUploadPassword(key, error)) << error;
}

TEST(Keyring, StoresFindsReplacesAndForgets)
{
    const KeyringKey key{"sftp", "keyring-test.invalid", 22, "alice"};
    forget(key);
    EXPECT_EQ(findUploadPassword(key), std::nullopt);

    store(key, "first secret");
    EXPECT_EQ(findUploadPassword(key), "first secret");
    const std::string other = "zweites Geheimnis \xc3\xa4\xe2\x9c\x93 with spaces"; // UTF-8 kept as it is
    store(key, other);
    EXPECT_EQ(findUploadPassword(key), other);

    forget(key);
    EXPECT_EQ(findUploadPassword(key), std::nullopt);
    forget(key); // nothing kept any more: still no failure
}

TEST(Keyring, EachUserPortAndProtocolHasItsOwnPassword)
{
    const KeyringKey alice{"sftp", "keyring-test.invalid", 22, "alice"};
    const KeyringKey bob{"sftp", "keyring-test.invalid", 22, "bob"};
    store(alice, "alice's");
    store(bob, "bob's");
    EXPECT_EQ(findUploadPassword(alice), "alice's");
    EXPECT_EQ(findUploadPassword(bob), "bob's");
    EXPECT_EQ(findUploadPassword({"sftp", "keyring-test.invalid", 2222, "alice"}), std::nullopt);
    EXPECT_EQ(findUploadPassword({"ftps", "keyring-test.invalid", 22, "alice"}), std::nullopt);
    EXPECT_EQ(findUploadPassword({"sftp", "other.keyring-test.invalid", 22, "alice"}), std::nullopt);
    EXPECT_EQ(findUploadPassword({"sftp", "keyring-test.invalid", 22, "ali"}), std::nullopt);

    forget(alice);
    EXPECT_EQ(findUploadPassword(alice), std::nullopt);
    EXPECT_EQ(findUploadPassword(bob), "bob's");
    forget(bob);
}

TEST(Keyring, WipeLeavesNoByteOfTheSecret)
{
    std::string secret = "a long password that lives on the heap, not inside the string";
    const char* bytes = secret.data();
    const std::size_t size = secret.size();
    vidlume::platform::wipeSecret(secret);
    EXPECT_TRUE(secret.empty());
    EXPECT_EQ(std::string(bytes, size), std::string(size, '\0')); // the same buffer: clear() keeps it
}

#ifndef _WIN32

using vidlume::test::readFile;
using vidlume::test::writeFile;

/// vidlume-cli upload to Debian's Apache httpd (WebDAV over HTTPS), with no
/// terminal to ask on and no password but what the keyring or environment gives.
class UploadPasswordFromKeyring : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ::unsetenv("VIDLUME_PASSWORD");
        try {
            server = new vidlume::test::DavServer;
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
        folder = "k" + std::to_string(++count);
        writeFile(scratch.path("site/index.htm"), "<html>kept</html>");
        forget(serverKey());
    }
    void TearDown() override
    {
        if (server)
            forget(serverKey());
    }

    KeyringKey serverKey(const std::string& user = {}) const
    {
        const std::string url = server->url(folder);
        const int port = std::stoi(url.substr(url.find(':', 8) + 1));
        return {"https", "127.0.0.1", port, user.empty() ? server->user() : user};
    }

    struct Outcome
    {
        int status = -1;
        std::string errors;
        double seconds = 0;
    };
    /// Runs the upload with environment (VAR=value ...) added, detached
    /// from the terminal (setsid) so that there is none to ask on; VIDLUME_PASSWORD only
    /// when this process has it.
    Outcome upload(const std::string& environment, const std::string& user = {})
    {
        const std::string line = "env " + environment + " setsid --wait " + VIDLUME_CLI_PATH +
                                 " upload --user " + (user.empty() ? server->user() : user) + " --ca-file " +
                                 server->caFile() + " " + scratch.path("site") + " " + server->url(folder) +
                                 " </dev/null >/dev/null 2>" + scratch.path("err");
        const auto started = std::chrono::steady_clock::now();
        const int status = std::system(line.c_str());
        Outcome outcome;
        outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        outcome.status = WEXITSTATUS(status);
        outcome.errors = readFile(scratch.path("err"));
        return outcome;
    }
    bool uploaded() const { return readFile(server->served(folder + "/index.htm")) == "<html>kept</html>"; }

    static inline vidlume::test::DavServer* server = nullptr;
    static inline std::string skipReason;
    vidlume::test::ScratchFolder scratch;
    std::string folder;
};

TEST_F(UploadPasswordFromKeyring, KeyringPasswordLogsIn)
{
    store(serverKey(), server->password());
    const Outcome outcome = upload("");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_TRUE(uploaded());
}

TEST_F(UploadPasswordFromKeyring, EnvironmentComesBeforeTheKeyring)
{
    store(serverKey(), "not the password");
    ::setenv("VIDLUME_PASSWORD", server->password().c_str(), 1);
    const Outcome outcome = upload("");
    ::unsetenv("VIDLUME_PASSWORD");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_TRUE(uploaded());
}

TEST_F(UploadPasswordFromKeyring, AnotherUsersPasswordIsNotUsed)
{
    store(serverKey(), server->password());
    const Outcome outcome = upload("", "mallory");
    EXPECT_EQ(outcome.status, 1) << outcome.errors;
    EXPECT_FALSE(uploaded());
}

TEST_F(UploadPasswordFromKeyring, NoSessionBusFailsQuietlyAndQuickly)
{
    store(serverKey(), server->password());
    const Outcome outcome = upload("DBUS_SESSION_BUS_ADDRESS=unix:path=" + scratch.path("no-bus"));
    EXPECT_EQ(outcome.status, 1) << outcome.errors;
    EXPECT_LT(outcome.seconds, 10);
    EXPECT_FALSE(uploaded());
    EXPECT_EQ(outcome.errors.find("GLib"), std::string::npos) << outcome.errors;
}

TEST_F(UploadPasswordFromKeyring, SilentSessionBusIsGivenUpOn)
{
    // A socket that takes the connection and never says a word.
    const std::string path = scratch.path("silent-bus");
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    const Outcome outcome = upload("DBUS_SESSION_BUS_ADDRESS=unix:path=" + path);
    ::close(listener);
    EXPECT_EQ(outcome.status, 1) << outcome.errors;
    EXPECT_LT(outcome.seconds, 15);
    EXPECT_FALSE(uploaded());
}

#endif

} // namespace
