#include "upload/DavSite.h"

#include "platform/Environment.h"
#include "upload/DavListing.h"

#include <curl/curl.h>

#include <initializer_list>

namespace vidlume::upload {

namespace {

constexpr std::size_t largestListing = 32u << 20;
constexpr const char* propfindBody =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<propfind xmlns=\"DAV:\"><prop><resourcetype/><getcontentlength/></prop></propfind>";

/// Headers of one request, freed with it.
class HeaderList
{
public:
    HeaderList(std::initializer_list<std::string> lines)
    {
        for (const std::string& line : lines)
            m_list = curl_slist_append(m_list, line.c_str());
    }
    ~HeaderList() { curl_slist_free_all(m_list); }
    HeaderList(const HeaderList&) = delete;
    HeaderList& operator=(const HeaderList&) = delete;
    curl_slist* get() const { return m_list; }

private:
    curl_slist* m_list = nullptr;
};

class DavSite : public RemoteSite
{
public:
    DavSite(const UploadUrl& url, const TlsLogin& login)
        : m_connection(url.tls ? "https" : "http", login), m_tls(url.tls)
    {
        m_server = std::string(url.tls ? "https" : "http") + "://" +
                   (url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host) + ":" +
                   std::to_string(url.port);
        m_root = url.path.empty() ? "/" : url.path;
        if (m_root.front() != '/')
            m_root.insert(0, "/");
        m_user = !login.user.empty() ? login.user : !url.user.empty() ? url.user : platform::loginName();
    }

    void open()
    {
        long status = propfind("", "0");
        if (status == 401) {
            if (!m_tls)
                throw RemoteError("The server asks for a password, and Vidlume sends passwords only over HTTPS: "
                                  "use an https:// (or davs://) URL");
            const auto password = m_connection.login().password ? m_connection.login().password() : std::nullopt;
            if (!password)
                throw RemoteError("No password for " + m_user + " on the WebDAV server");
            m_connection.setCredentials(m_user, *password);
            status = propfind("", "0");
            if (status == 401)
                throw RemoteError("The server refused the login of " + m_user + " with this password (" +
                                  m_connection.serverWords() + ")");
        }
        if (status == 404) {
            std::string made;
            std::size_t start = 1;
            while (start <= m_root.size()) {
                const std::size_t slash = std::min(m_root.find('/', start), m_root.size());
                made = m_root.substr(0, slash);
                if (made.size() > 1)
                    makeCollection(made, true);
                start = slash + 1;
            }
            status = propfind("", "0");
        }
        if (status != 207)
            throw RemoteError("The server does not offer a WebDAV folder at " + m_server + m_root + " (" +
                              m_connection.serverWords() + ")");
    }

    std::optional<std::vector<RemoteEntry>> list(const std::string& folder) override
    {
        const long status = propfind(folder, "1");
        if (status == 404)
            return std::nullopt;
        if (m_connection.bodyTooLong())
            throw RemoteError("The server's listing of " + shown(folder) + " is larger than " +
                              std::to_string(largestListing >> 20) + " MiB");
        expect(status, {207}, "Cannot list " + shown(folder));
        auto entries = parseDavListing(m_connection.body(), serverPath(folder));
        if (!entries)
            throw RemoteError("The server's listing of " + shown(folder) + " is not WebDAV's XML");
        return entries;
    }

    void makeFolder(const std::string& folder) override { makeCollection(serverPath(folder), false); }

    std::optional<std::string> readSmall(const std::string& path, std::size_t maxBytes) override
    {
        m_connection.begin(url(path));
        m_connection.collectBody(maxBytes);
        const auto result = m_connection.perform();
        if (m_connection.bodyTooLong() || (result.code == CURLE_OK && result.response == 404))
            return std::nullopt;
        expect(result, {200}, "Cannot read " + shown(path));
        return m_connection.body();
    }

    std::unique_ptr<RemoteWriter> openForWriting(const std::string& path, std::uint64_t) override
    {
        CURL* curl = m_connection.begin(url(path));
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        const std::string what = "Cannot write " + shown(path);
        return m_connection.startUpload(
            [this, what](const CurlConnection::Result& result) { expect(result, {200, 201, 204}, what); });
    }

    void remove(const std::string& path) override
    {
        CURL* curl = m_connection.begin(url(path));
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "DELETE");
        curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
        const auto result = m_connection.perform();
        if (result.code == CURLE_OK && result.response == 404)
            return;
        expect(result, {200, 204}, "Cannot remove " + shown(path));
    }

    void rename(const std::string& from, const std::string& to) override
    {
        CURL* curl = m_connection.begin(url(from));
        const HeaderList headers{"Destination: " + url(to), "Overwrite: T"};
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "MOVE");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
        expect(m_connection.perform(), {201, 204}, "Cannot put " + to + " in place");
    }

    // MOVE with "Overwrite: T" replaces the file in the one request.
    bool renameReplaces() const override { return true; }
    ResumeRule resumeRule() const override { return ResumeRule::StartAgain; }

private:
    std::string serverPath(const std::string& relative) const
    {
        if (relative.empty())
            return m_root;
        return (m_root == "/" ? "" : m_root) + "/" + relative;
    }
    std::string url(const std::string& relative) const { return m_server + encodedPath(serverPath(relative)); }
    std::string shown(const std::string& relative) const
    {
        return relative.empty() ? "the remote folder" : relative;
    }

    /// PROPFIND on a folder; its answer's body is kept. Returns the HTTP status.
    long propfind(const std::string& folder, const char* depth)
    {
        const std::string path = serverPath(folder);
        CURL* curl = m_connection.begin(m_server + encodedPath(path) + (path == "/" ? "" : "/"));
        const HeaderList headers{std::string("Depth: ") + depth, "Content-Type: application/xml; charset=utf-8"};
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "PROPFIND");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, propfindBody);
        m_connection.collectBody(largestListing);
        const auto result = m_connection.perform();
        if (result.code != CURLE_OK && !m_connection.bodyTooLong())
            throw RemoteError("Cannot reach the WebDAV server: " + m_connection.failureText(result));
        return result.response;
    }

    void makeCollection(const std::string& path, bool mayExist)
    {
        CURL* curl = m_connection.begin(m_server + encodedPath(path) + "/");
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "MKCOL");
        const auto result = m_connection.perform();
        // 405: something is there already; for the folders above the URL's that is fine.
        if (mayExist && result.code == CURLE_OK && result.response == 405)
            return;
        expect(result, {201}, "Cannot make the folder " + path);
    }

    void expect(long status, std::initializer_list<long> good, const std::string& what) const
    {
        for (const long code : good)
            if (status == code)
                return;
        if (status == 401)
            throw RemoteError(what + ": the server refused the login of " + m_user);
        throw RemoteError(what + ": the server answered \"" + m_connection.serverWords() + "\"");
    }
    void expect(const CurlConnection::Result& result, std::initializer_list<long> good, const std::string& what) const
    {
        if (result.code != CURLE_OK)
            throw RemoteError(what + ": " + m_connection.failureText(result));
        expect(result.response, good, what);
    }

    CurlConnection m_connection;
    bool m_tls;
    std::string m_server;
    std::string m_root;
    std::string m_user;
};

} // namespace

std::unique_ptr<RemoteSite> connectWebDav(const UploadUrl& url, const TlsLogin& login)
{
    auto site = std::make_unique<DavSite>(url, login);
    site->open();
    return site;
}

} // namespace vidlume::upload
