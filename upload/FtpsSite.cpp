#include "upload/FtpsSite.h"

#include "platform/Environment.h"
#include "upload/FtpListing.h"

#include <curl/curl.h>

namespace vidlume::upload {

namespace {

constexpr std::size_t largestListing = 32u << 20;

class FtpsSite : public RemoteSite
{
public:
    FtpsSite(const UploadUrl& url, const TlsLogin& login) : m_connection("ftp", login)
    {
        m_server = "ftp://" + (url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host) + ":" +
                   std::to_string(url.port) + "/";
        // The URL's path is inside the login folder, as with other FTP programs.
        std::string path = url.path;
        while (!path.empty() && path.front() == '/')
            path.erase(0, 1);
        m_root = path;
    }

    void logIn(const std::string& user)
    {
        const auto password = m_connection.login().password ? m_connection.login().password() : std::nullopt;
        if (!password)
            throw RemoteError("No password for " + user + " on the FTP server");
        m_connection.setCredentials(user, *password);
        // Many FTPS servers (vsftpd by default) want each data connection to
        // take up the control connection's TLS keys again, which TLS 1.3's
        // tickets do not reliably give (they refuse with 522); so TLS 1.2,
        // unless the server offers nothing below 1.3.
        m_connection.limitToTls12(true);
        CURL* curl = m_connection.begin(m_server);
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
        auto result = m_connection.perform();
        if (result.code == CURLE_SSL_CONNECT_ERROR) {
            m_connection.limitToTls12(false);
            curl = m_connection.begin(m_server);
            curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
            result = m_connection.perform();
        }
        if (result.code == CURLE_LOGIN_DENIED)
            throw RemoteError("The server refused the login of " + user + " with this password: " +
                              m_connection.failureText(result));
        if (result.code == CURLE_USE_SSL_FAILED)
            throw RemoteError("The server does not offer TLS (FTPS), so nothing was sent: " +
                              m_connection.failureText(result));
        check(result, "Cannot connect to the FTP server");
        // Commands run wherever the connection's last transfer left it, so
        // they name absolute paths, from the login folder.
        const char* entry = nullptr;
        curl_easy_getinfo(curl, CURLINFO_FTP_ENTRY_PATH, &entry);
        m_loginFolder = entry && *entry == '/' ? entry : "/";
        if (m_loginFolder.back() != '/')
            m_loginFolder += '/';
        if (!list("")) {
            std::string made;
            for (std::size_t start = 0; start <= m_root.size();) {
                const std::size_t slash = std::min(m_root.find('/', start), m_root.size());
                made = m_root.substr(0, slash);
                if (!made.empty())
                    command({"MKD " + m_loginFolder + made}, true);
                start = slash + 1;
            }
            if (!list(""))
                throw RemoteError("Cannot open the folder " + m_root + " on the server");
        }
    }

    std::optional<std::vector<RemoteEntry>> list(const std::string& folder) override
    {
        CURL* curl = m_connection.begin(m_server + encodedPath(serverPath(folder)) + (serverPath(folder).empty() ? "" : "/"));
        // Hidden files too: the manifest and the temporary names start with a dot.
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "LIST -a");
        curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
        m_connection.collectBody(largestListing);
        const auto result = m_connection.perform();
        if (result.code == CURLE_REMOTE_ACCESS_DENIED && !m_connection.bodyTooLong())
            return std::nullopt; // the folder cannot be entered: it is missing
        if (m_connection.bodyTooLong())
            throw RemoteError("The server's listing of " + shown(folder) + " is larger than " +
                              std::to_string(largestListing >> 20) + " MiB");
        check(result, "Cannot list " + shown(folder));
        return parseFtpListing(m_connection.body());
    }

    void makeFolder(const std::string& folder) override { command({"MKD " + absolute(folder)}); }

    std::optional<std::string> readSmall(const std::string& path, std::size_t maxBytes) override
    {
        CURL* curl = m_connection.begin(m_server + encodedPath(serverPath(path)));
        curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
        m_connection.collectBody(maxBytes);
        const auto result = m_connection.perform();
        if (m_connection.bodyTooLong() || result.code == CURLE_REMOTE_FILE_NOT_FOUND ||
            result.code == CURLE_REMOTE_ACCESS_DENIED)
            return std::nullopt;
        check(result, "Cannot read " + shown(path));
        return m_connection.body();
    }

    std::unique_ptr<RemoteWriter> openForWriting(const std::string& path, std::uint64_t offset) override
    {
        CURL* curl = m_connection.begin(m_server + encodedPath(serverPath(path)));
        curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        // A cut upload goes on at the end of what the server has (APPE):
        // the planner asks for exactly the size it listed.
        if (offset > 0)
            curl_easy_setopt(curl, CURLOPT_APPEND, 1L);
        const std::string what = "Cannot write " + shown(path);
        return m_connection.startUpload([this, what](const CurlConnection::Result& result) { check(result, what); });
    }

    void remove(const std::string& path) override { command({"DELE " + absolute(path)}); }

    void rename(const std::string& from, const std::string& to) override
    {
        try {
            command({"RNFR " + absolute(from), "RNTO " + absolute(to)});
        } catch (const RemoteError&) {
            // A server that will not rename onto an existing file: remove it first.
            try {
                command({"DELE " + absolute(to)});
            } catch (const RemoteError&) {
            }
            command({"RNFR " + absolute(from), "RNTO " + absolute(to)});
        }
    }

    bool renameReplaces() const override { return true; }
    ResumeRule resumeRule() const override { return ResumeRule::AtPartialSize; }

private:
    std::string serverPath(const std::string& relative) const
    {
        if (m_root.empty())
            return relative;
        return relative.empty() ? m_root : m_root + "/" + relative;
    }
    std::string absolute(const std::string& relative) const { return m_loginFolder + serverPath(relative); }
    std::string shown(const std::string& relative) const
    {
        return relative.empty() ? "the remote folder" : relative;
    }

    /// Runs FTP commands on the login folder, in one request.
    void command(const std::vector<std::string>& lines, bool mayFail = false)
    {
        for (const std::string& line : lines) {
            if (line.find_first_of("\r\n") != std::string::npos)
                throw RemoteError("A file name holds a line break, which FTP cannot carry: " + line);
        }
        CURL* curl = m_connection.begin(m_server);
        curl_slist* quote = nullptr;
        for (const std::string& line : lines)
            quote = curl_slist_append(quote, line.c_str());
        curl_easy_setopt(curl, CURLOPT_QUOTE, quote);
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
        const auto result = m_connection.perform();
        curl_easy_setopt(curl, CURLOPT_QUOTE, nullptr);
        curl_slist_free_all(quote);
        if (!mayFail)
            check(result, lines.front().substr(0, lines.front().find(' ')) == "MKD"
                              ? "Cannot make the folder " + lines.front().substr(4)
                              : "The server refused \"" + lines.back() + "\"");
    }

    void check(const CurlConnection::Result& result, const std::string& what) const
    {
        if (result.code != CURLE_OK)
            throw RemoteError(what + ": " + m_connection.failureText(result));
    }

    CurlConnection m_connection;
    std::string m_server;
    std::string m_root;
    std::string m_loginFolder = "/";
};

} // namespace

std::unique_ptr<RemoteSite> connectFtps(const UploadUrl& url, const TlsLogin& login)
{
    auto site = std::make_unique<FtpsSite>(url, login);
    const std::string user = !login.user.empty() ? login.user : !url.user.empty() ? url.user : platform::loginName();
    site->logIn(user);
    return site;
}

} // namespace vidlume::upload
