#pragma once

#include "upload/CurlConnection.h"
#include "upload/RemoteSite.h"
#include "upload/UploadUrl.h"

#include <memory>

namespace vidlume::upload {

/// Opens the URL's WebDAV folder, creating it and the folders above it when
/// missing. A password is asked for only when the server wants one, and sent
/// only over HTTPS. Throws Error with what went wrong.
std::unique_ptr<RemoteSite> connectWebDav(const UploadUrl& url, const TlsLogin& login);

} // namespace vidlume::upload
