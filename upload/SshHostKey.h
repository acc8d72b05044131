#pragma once

#include "app/Error.h"

#include <string>

typedef struct _LIBSSH2_SESSION LIBSSH2_SESSION;

namespace vidlume::upload {

/// The server showed a host key that the known-hosts file does not hold for
/// it: an unknown server, or (changed) another key than the one recorded.
class HostKeyNotTrusted : public Error
{
public:
    HostKeyNotTrusted(const std::string& text, std::string key, std::string fingerprint, bool changed)
        : Error(text), m_key(std::move(key)), m_fingerprint(std::move(fingerprint)), m_changed(changed)
    {
    }
    /// The key as shown to the user: "ssh-ed25519 key SHA256:…".
    const std::string& key() const { return m_key; }
    /// "SHA256:…", as --accept-host-key takes it.
    const std::string& fingerprint() const { return m_fingerprint; }
    bool changed() const { return m_changed; }

private:
    std::string m_key;
    std::string m_fingerprint;
    bool m_changed;
};

/// Checks the key the server showed on the connection ssh against the known-hosts file
/// (lines it cannot read are passed over, never rewritten). An unknown or
/// changed key throws HostKeyNotTrusted naming the key's type and SHA256 fingerprint and
/// how to trust it, unless acceptFingerprint ("SHA256:…", from
/// --accept-host-key) is that fingerprint: then one line for the key is
/// appended to the file and the connection goes on.
void checkHostKey(LIBSSH2_SESSION* ssh, const std::string& host, int port, const std::string& knownHostsFile,
                  const std::string& acceptFingerprint);

} // namespace vidlume::upload
