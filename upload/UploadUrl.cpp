#include "upload/UploadUrl.h"

#include "platform/FileTree.h"

#include <array>
#include <charconv>

namespace vidlume::upload {

std::optional<std::string> percentDecodedPath(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= text.size())
            return std::nullopt;
        const auto [end, error] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (error != std::errc() || end != text.data() + i + 3 || value == 0)
            return std::nullopt;
        out += char(value);
        i += 2;
    }
    return out;
}

platform::KeyringKey keyringKeyOf(const UploadUrl& url, const std::string& user)
{
    const char* protocol = url.protocol == Protocol::Sftp   ? "sftp"
                           : url.protocol == Protocol::Ftps ? "ftps"
                           : url.tls                        ? "https"
                                                            : "http";
    return {protocol, url.host, url.port, user};
}

platform::KeyringKey keyringKeyOfSshKey(const std::string& keyFile)
{
    return {"ssh-key", platform::absolutePath(keyFile), 0, {}};
}

std::optional<UploadUrl> parseUploadUrl(const std::string& url, std::string& error)
{
    struct Scheme
    {
        const char* name;
        Protocol protocol;
        bool tls;
        int port;
    };
    static const std::array<Scheme, 6> schemes{{
        {"sftp", Protocol::Sftp, true, 22},
        {"ftps", Protocol::Ftps, true, 21},
        {"https", Protocol::WebDav, true, 443},
        {"davs", Protocol::WebDav, true, 443},
        {"http", Protocol::WebDav, false, 80},
        {"dav", Protocol::WebDav, false, 80},
    }};
    // A URL has no control characters: a raw one (a NUL, a line break) would
    // reach the server's path or a log as it is.
    for (const unsigned char c : url) {
        if (c < 0x20 || c == 0x7f) {
            error = "URL must not hold a control character (such as a line break)";
            return std::nullopt;
        }
    }
    const auto colon = url.find("://");
    const std::string scheme = colon == std::string::npos ? std::string() : url.substr(0, colon);
    UploadUrl result;
    bool known = false;
    for (const Scheme& candidate : schemes) {
        if (scheme == candidate.name) {
            result.protocol = candidate.protocol;
            result.tls = candidate.tls;
            result.port = candidate.port;
            known = true;
        }
    }
    if (!known) {
        error = "URL must start with sftp://, ftps://, https:// or http:// (WebDAV): '" + url + "'";
        return std::nullopt;
    }
    std::string rest = url.substr(colon + 3);
    const auto slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    std::string path = slash == std::string::npos ? "/" : rest.substr(slash);
    if (path.find_first_of("?#") != std::string::npos) {
        error = "URL must not carry a query or fragment: '" + url + "'";
        return std::nullopt;
    }
    const auto at = authority.rfind('@');
    if (at != std::string::npos) {
        const auto user = percentDecodedPath(authority.substr(0, at));
        if (!user || user->find(':') != std::string::npos) {
            error = "URL must not carry a password (use --password-file or VIDLUME_PASSWORD)";
            return std::nullopt;
        }
        result.user = *user;
        authority = authority.substr(at + 1);
    }
    std::string host = authority;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string::npos) {
            error = "URL has an unclosed '[' in its host: '" + url + "'";
            return std::nullopt;
        }
        host = authority.substr(1, close - 1);
        authority = authority.substr(close + 1);
        if (!authority.empty() && authority.front() != ':') {
            error = "URL has text after its host: '" + url + "'";
            return std::nullopt;
        }
        authority = authority.empty() ? "" : authority;
    } else {
        const auto portColon = authority.find(':');
        host = authority.substr(0, portColon);
        authority = portColon == std::string::npos ? "" : authority.substr(portColon);
    }
    if (!authority.empty()) {
        const std::string digits = authority.substr(1);
        int port = 0;
        const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (digits.empty() || failure != std::errc() || end != digits.data() + digits.size() || port < 1 ||
            port > 65535) {
            error = "URL has no valid port: '" + url + "'";
            return std::nullopt;
        }
        result.port = port;
    }
    if (host.empty()) {
        error = "URL names no server: '" + url + "'";
        return std::nullopt;
    }
    if (host.find(' ') != std::string::npos) {
        error = "URL has a blank in its server's name: '" + url + "'";
        return std::nullopt;
    }
    result.host = host;
    const auto decoded = percentDecodedPath(path);
    if (!decoded) {
        error = "URL has a bad %-escape in its path: '" + url + "'";
        return std::nullopt;
    }
    result.path = *decoded;
    // "/~" and "/~/x" (or "/~//x") lie in the home folder; "/~backup" is a folder of that name.
    if (result.protocol == Protocol::Sftp && (result.path == "/~" || result.path.rfind("/~/", 0) == 0)) {
        const auto start = result.path.find_first_not_of('/', 2);
        result.path = start == std::string::npos ? std::string() : result.path.substr(start);
    }
    while (result.path.size() > 1 && result.path.back() == '/')
        result.path.pop_back();
    return result;
}

} // namespace vidlume::upload
