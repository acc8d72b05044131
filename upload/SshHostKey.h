#pragma once

#include <string>

typedef struct _LIBSSH2_SESSION LIBSSH2_SESSION;

namespace vidlume::upload {

/// Checks the key the server showed on the connection ssh against the known-hosts file
/// (lines it cannot read are passed over, never rewritten). An unknown or
/// changed key throws Error naming the key's type and SHA256 fingerprint and
/// how to trust it, unless acceptFingerprint ("SHA256:…", from
/// --accept-host-key) is that fingerprint: then one line for the key is
/// appended to the file and the connection goes on.
void checkHostKey(LIBSSH2_SESSION* ssh, const std::string& host, int port, const std::string& knownHostsFile,
                  const std::string& acceptFingerprint);

} // namespace vidlume::upload
