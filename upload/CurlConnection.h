#pragma once

#include "upload/RemoteSite.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef void CURL;

namespace vidlume::upload {

/// How to log in over FTPS or WebDAV. The password is asked for only when needed.
struct TlsLogin
{
    std::string user;                 // --user, else the URL's, else the local user's name
    std::string caFile;               // --ca-file: trusted besides the system's CAs
    std::function<std::optional<std::string>()> password;
    std::function<bool()> cancelled;  // ends a request within a second when it says yes
};

/// One libcurl handle, kept for every request of an upload so that the
/// connection and its TLS keys are used again. Certificates and host
/// names are always verified; redirects are never followed.
class CurlConnection
{
public:
    CurlConnection(std::string protocols, const TlsLogin& login);
    ~CurlConnection();
    CurlConnection(const CurlConnection&) = delete;
    CurlConnection& operator=(const CurlConnection&) = delete;

    /// Clears the last request's options and sets the ones every request has.
    CURL* begin(const std::string& url);
    /// The credentials from now on (over TLS only: the callers check).
    void setCredentials(std::string user, std::string password);
    bool hasCredentials() const { return m_hasCredentials; }

    /// Collects the answer's body, at most maxBytes; a longer one fails the request.
    void collectBody(std::size_t maxBytes);
    const std::string& body() const { return m_body; }
    bool bodyTooLong() const { return m_bodyTooLong; }

    struct Result
    {
        int code = 0;          // CURLcode
        long response = 0;     // the server's status code (FTP or HTTP)
    };
    /// Runs the request; never throws.
    Result perform();
    /// The last lines the server answered with, as printable text.
    std::string serverWords() const;
    /// What went wrong in a request: libcurl's words and the server's.
    std::string failureText(const Result& result) const;

    /// A writer whose bytes libcurl reads while it runs the request set up on
    /// the handle (begin(), then the protocol's options). check says whether
    /// the finished request succeeded, and throws RemoteError when not.
    std::unique_ptr<RemoteWriter> startUpload(std::function<void(const Result&)> check);

    const TlsLogin& login() const { return m_login; }

    /// Keeps TLS at version 1.2 (or lets it go up again).
    void limitToTls12(bool limit) { m_tls12Only = limit; }

private:
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static int onProgress(void* self, std::int64_t, std::int64_t, std::int64_t, std::int64_t);

    CURL* m_curl = nullptr;
    std::string m_protocols;
    TlsLogin m_login;
    bool m_hasCredentials = false;
    bool m_tls12Only = false;
    std::string m_user, m_password;
    std::string m_body;
    std::size_t m_bodyLimit = 0;
    bool m_bodyTooLong = false;
    std::vector<std::string> m_headerLines;
    char m_error[256] = {};
};

/// A URL path made of path's segments, each percent-encoded ("/" kept between them).
std::string encodedPath(const std::string& path);

} // namespace vidlume::upload
