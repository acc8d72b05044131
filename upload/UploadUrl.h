#pragma once

#include "platform/Keyring.h"

#include <optional>
#include <string>
#include <string_view>

namespace vidlume::upload {

enum class Protocol { Sftp, Ftps, WebDav };

/// The parts of an upload's URL: sftp://[user@]host[:port]/path,
/// ftps://… (explicit TLS), https://… or http://… for WebDAV (davs:// and
/// dav:// the same).
struct UploadUrl
{
    Protocol protocol = Protocol::Sftp;
    bool tls = true;  // false only for http:// and dav://
    std::string user; // empty when the URL names none
    std::string host;
    int port = 0;
    std::string path; // percent-decoded; for SFTP "/~/x" is "x", relative to the home folder
};

/// Where the desktop's keyring keeps the password of user's login at url.
platform::KeyringKey keyringKeyOf(const UploadUrl& url, const std::string& user);

/// Where the desktop's keyring keeps the passphrase of the SSH key in keyFile
/// (its absolute path names it).
platform::KeyringKey keyringKeyOfSshKey(const std::string& keyFile);

/// Percent-decodes a URL's part; nothing when an escape is broken or decodes to NUL.
std::optional<std::string> percentDecodedPath(std::string_view text);

/// Reads url; nothing with error set when it is not one of the forms above.
std::optional<UploadUrl> parseUploadUrl(const std::string& url, std::string& error);

} // namespace vidlume::upload
