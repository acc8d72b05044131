#pragma once

#include "upload/RemoteSite.h"
#include "upload/UploadUrl.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vidlume::upload {

/// How to log in over SSH. The secrets are asked for only when needed.
struct SshLogin
{
    std::string user;               // --user, else the URL's, else the local user's name
    std::string identityFile;       // --identity; empty: the agent, ~/.ssh/id_ed25519 and id_ecdsa
    std::string knownHostsFile;     // --known-hosts or ~/.ssh/known_hosts
    std::string acceptFingerprint;  // --accept-host-key
    std::function<std::optional<std::string>()> password;
    std::function<std::optional<std::string>(const std::string& prompt)> passphrase;
};

/// Connects, checks the host key before anything else, logs in and opens
/// SFTP on the URL's folder, creating it (and the folders above it) when
/// missing. Throws Error with what went wrong.
std::unique_ptr<RemoteSite> connectSftp(const UploadUrl& url, const SshLogin& login);

} // namespace vidlume::upload
