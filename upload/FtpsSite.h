#pragma once

#include "upload/CurlConnection.h"
#include "upload/RemoteSite.h"
#include "upload/UploadUrl.h"

#include <memory>

namespace vidlume::upload {

/// Connects with explicit TLS (AUTH TLS; the data connections are encrypted
/// too), checks the certificate, logs in and opens the URL's folder (inside
/// the login folder), creating it and the folders above it when missing.
/// Throws Error with what went wrong.
std::unique_ptr<RemoteSite> connectFtps(const UploadUrl& url, const TlsLogin& login);

} // namespace vidlume::upload
