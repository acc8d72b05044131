#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vidlume::upload {

/// SHA-256 of bytes, as 64 lower-case hexadecimal digits.
std::string sha256Hex(std::string_view bytes);

/// SHA-256 of bytes, the 32 raw bytes.
std::string sha256Raw(std::string_view bytes);

/// SHA-256 of a whole local file, as 64 lower-case hexadecimal digits, read in
/// pieces of a fixed size whatever the file's. keepGoing is asked between the
/// pieces; false stops the reading (the result is then empty). Throws Error
/// when the file cannot be read.
std::string sha256OfFile(const std::string& path, const std::function<bool(std::uint64_t done)>& keepGoing);

/// Base64 of bytes (with "=" padding as in known-hosts lines).
std::string base64(std::string_view bytes);

/// The bytes of base64 text; nothing useful (empty) for text that is not base64.
std::string fromBase64(std::string_view text);

/// OpenSSH's fingerprint of a public key blob: "SHA256:" and the base64 of
/// its SHA-256 without padding.
std::string sshFingerprint(std::string_view keyBlob);

} // namespace vidlume::upload
