#include "upload/CurlConnection.h"

#include "platform/PrintableText.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace vidlume::upload {

namespace {

constexpr long connectTimeoutSeconds = 15;
// A server that takes nothing and sends nothing for this long is taken as gone.
constexpr long stalledSeconds = 60;
constexpr std::size_t largestServerLine = 512;

void initialiseOnce()
{
    static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK)
        throw RemoteError(std::string("Cannot start the network library: ") + curl_easy_strerror(result));
}

/// Whether line is a server's refusal: an FTP reply of 4xx or 5xx, or an
/// HTTP status line.
bool isRefusalOrStatus(const std::string& line)
{
    if (line.rfind("HTTP/", 0) == 0)
        return true;
    return line.size() >= 4 && (line[0] == '4' || line[0] == '5') && std::isdigit((unsigned char)line[1]) &&
           std::isdigit((unsigned char)line[2]) && (line[3] == ' ' || line[3] == '-');
}

/// Bytes handed from the uploading thread (write) to libcurl's read callback,
/// which runs in the thread that performs the request.
class CurlWriter : public RemoteWriter
{
public:
    CurlWriter(CurlConnection& connection, CURL* curl, std::function<void(const CurlConnection::Result&)> check)
        : m_connection(connection), m_check(std::move(check))
    {
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, &CurlWriter::onRead);
        curl_easy_setopt(curl, CURLOPT_READDATA, this);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CurlWriter::onProgress);
        m_thread = std::thread([this] {
            const CurlConnection::Result result = m_connection.perform();
            std::lock_guard lock(m_mutex);
            m_result = result;
            m_done = true;
            m_changed.notify_all();
        });
    }

    ~CurlWriter() override
    {
        if (!m_thread.joinable())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_abort = true;
            m_changed.notify_all();
        }
        m_thread.join();
    }

    void write(const char* data, std::size_t size) override
    {
        std::unique_lock lock(m_mutex);
        m_data = data;
        m_left = size;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_left == 0 || m_done; });
        if (m_left != 0) {
            m_left = 0;
            lock.unlock();
            end();
            throw RemoteError("The server stopped taking the file");
        }
    }

    void finish() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_endOfFile = true;
            m_changed.notify_all();
        }
        end();
    }

private:
    /// Waits for the request to end and says how it went (throws RemoteError).
    void end()
    {
        m_thread.join();
        m_check(m_result);
    }

    static std::size_t onRead(char* buffer, std::size_t size, std::size_t count, void* self)
    {
        auto& writer = *static_cast<CurlWriter*>(self);
        std::unique_lock lock(writer.m_mutex);
        writer.m_changed.wait(lock, [&] { return writer.m_left > 0 || writer.m_endOfFile || writer.m_abort; });
        if (writer.m_abort)
            return CURL_READFUNC_ABORT;
        const std::size_t taken = std::min(size * count, writer.m_left);
        if (taken > 0)
            std::memcpy(buffer, writer.m_data, taken);
        writer.m_data += taken;
        writer.m_left -= taken;
        if (writer.m_left == 0)
            writer.m_changed.notify_all();
        return taken;
    }

    static int onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        auto& writer = *static_cast<CurlWriter*>(self);
        if (writer.m_connection.login().cancelled && writer.m_connection.login().cancelled())
            return 1;
        std::lock_guard lock(writer.m_mutex);
        return writer.m_abort ? 1 : 0;
    }

    CurlConnection& m_connection;
    std::function<void(const CurlConnection::Result&)> m_check;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const char* m_data = nullptr;
    std::size_t m_left = 0;
    bool m_endOfFile = false;
    bool m_abort = false;
    bool m_done = false;
    CurlConnection::Result m_result;
};

} // namespace

CurlConnection::CurlConnection(std::string protocols, const TlsLogin& login)
    : m_protocols(std::move(protocols)), m_login(login)
{
    initialiseOnce();
    m_curl = curl_easy_init();
    if (!m_curl)
        throw RemoteError("Cannot start the network library");
}

CurlConnection::~CurlConnection()
{
    curl_easy_cleanup(m_curl);
}

CURL* CurlConnection::begin(const std::string& url)
{
    curl_easy_reset(m_curl);
    m_body.clear();
    m_bodyLimit = 0;
    m_bodyTooLong = false;
    m_headerLines.clear();
    m_error[0] = '\0';
    curl_easy_setopt(m_curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(m_curl, CURLOPT_PROTOCOLS_STR, m_protocols.c_str());
    curl_easy_setopt(m_curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, m_error);
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, connectTimeoutSeconds);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME, stalledSeconds);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // The given CA file joins the system's: libcurl loads the CA folder as well.
    if (!m_login.caFile.empty())
        curl_easy_setopt(m_curl, CURLOPT_CAINFO, m_login.caFile.c_str());
#ifdef _WIN32
    curl_easy_setopt(m_curl, CURLOPT_SSL_OPTIONS, long(CURLSSLOPT_NATIVE_CA));
#endif
    curl_easy_setopt(m_curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    if (m_tls12Only)
        curl_easy_setopt(m_curl, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2) | long(CURL_SSLVERSION_MAX_TLSv1_2));
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &CurlConnection::onBody);
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_HEADERFUNCTION, &CurlConnection::onHeader);
    curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, &CurlConnection::onProgress);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, this);
    if (m_hasCredentials) {
        curl_easy_setopt(m_curl, CURLOPT_USERNAME, m_user.c_str());
        curl_easy_setopt(m_curl, CURLOPT_PASSWORD, m_password.c_str());
    }
    return m_curl;
}

void CurlConnection::setCredentials(std::string user, std::string password)
{
    m_user = std::move(user);
    m_password = std::move(password);
    m_hasCredentials = true;
}

void CurlConnection::collectBody(std::size_t maxBytes)
{
    m_bodyLimit = maxBytes;
}

CurlConnection::Result CurlConnection::perform()
{
    Result result;
    result.code = curl_easy_perform(m_curl);
    curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &result.response);
    return result;
}

std::string CurlConnection::serverWords() const
{
    for (auto line = m_headerLines.rbegin(); line != m_headerLines.rend(); ++line)
        if (isRefusalOrStatus(*line))
            return *line;
    return {};
}

std::string CurlConnection::failureText(const Result& result) const
{
    std::string text = m_error[0] ? platform::printableText(m_error)
                                   : std::string(curl_easy_strerror(CURLcode(result.code)));
    if (result.code == CURLE_PEER_FAILED_VERIFICATION || result.code == CURLE_SSL_CACERT_BADFILE)
        text = "the server's certificate could not be verified (" + text +
               "), so nothing was sent; a server with a certificate of your own CA needs that CA given "
               "with --ca-file";
    const std::string words = serverWords();
    if (!words.empty() && text.find(words) == std::string::npos)
        text += (text.empty() ? "" : "; ") + std::string("the server answered \"") + words + "\"";
    return text;
}

std::unique_ptr<RemoteWriter> CurlConnection::startUpload(std::function<void(const Result&)> check)
{
    return std::make_unique<CurlWriter>(*this, m_curl, std::move(check));
}

std::size_t CurlConnection::onBody(char* data, std::size_t size, std::size_t count, void* self)
{
    auto& connection = *static_cast<CurlConnection*>(self);
    const std::size_t bytes = size * count;
    if (connection.m_bodyLimit == 0)
        return bytes; // not wanted
    if (connection.m_body.size() + bytes > connection.m_bodyLimit) {
        connection.m_bodyTooLong = true;
        return 0; // ends the request
    }
    connection.m_body.append(data, bytes);
    return bytes;
}

std::size_t CurlConnection::onHeader(char* data, std::size_t size, std::size_t count, void* self)
{
    auto& connection = *static_cast<CurlConnection*>(self);
    std::string line = platform::printableText(std::string_view(data, std::min(size * count, largestServerLine)));
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    if (isRefusalOrStatus(line)) {
        if (connection.m_headerLines.size() >= 8)
            connection.m_headerLines.erase(connection.m_headerLines.begin());
        connection.m_headerLines.push_back(line);
    }
    return size * count;
}

int CurlConnection::onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto& login = static_cast<CurlConnection*>(self)->m_login;
    return login.cancelled && login.cancelled() ? 1 : 0;
}

std::string encodedPath(const std::string& path)
{
    std::string out;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string segment = path.substr(start, slash - start);
        char* escaped = curl_easy_escape(nullptr, segment.data(), int(segment.size()));
        if (!escaped)
            throw RemoteError("Cannot make a URL of " + path);
        out += escaped;
        curl_free(escaped);
        if (slash < path.size())
            out += '/';
        start = slash + 1;
    }
    return out;
}

} // namespace vidlume::upload
