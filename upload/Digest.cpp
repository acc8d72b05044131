#include "upload/Digest.h"

#include "app/Error.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

#include <openssl/evp.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace vidlume::upload {

namespace {

constexpr std::size_t readPiece = 1 << 20;

struct ContextFree
{
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

std::string hex(const unsigned char* bytes, unsigned length)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

} // namespace

std::string sha256Raw(std::string_view bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    return std::string(reinterpret_cast<const char*>(digest), length);
}

std::string sha256Hex(std::string_view bytes)
{
    const std::string raw = sha256Raw(bytes);
    return hex(reinterpret_cast<const unsigned char*>(raw.data()), unsigned(raw.size()));
}

std::string sha256OfFile(const std::string& path, const std::function<bool(std::uint64_t)>& keepGoing)
{
    const int fd = platform::openForReading(path);
    if (fd < 0)
        throw Error("Cannot read " + path + ": " + platform::systemErrorText(errno));
    std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr);
    std::vector<char> buffer(readPiece);
    std::uint64_t offset = 0;
    int error = 0;
    bool stopped = false;
    for (;;) {
        const long long got = platform::readAt(fd, buffer.data(), buffer.size(), offset);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            error = errno;
            break;
        }
        if (got == 0)
            break;
        EVP_DigestUpdate(context.get(), buffer.data(), std::size_t(got));
        offset += std::uint64_t(got);
        if (keepGoing && !keepGoing(offset)) {
            stopped = true;
            break;
        }
    }
    platform::closeFile(platform::nativeFileOf(fd));
    if (error)
        throw Error("Cannot read " + path + ": " + platform::systemErrorText(error));
    if (stopped)
        return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    return hex(digest, length);
}

std::string base64(std::string_view bytes)
{
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                       reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
    text.resize(std::size_t(length));
    return text;
}

std::string fromBase64(std::string_view text)
{
    if (text.empty() || text.size() % 4 != 0 || text.size() > (1u << 20))
        return {};
    std::string bytes(text.size() / 4 * 3, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                       reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
    if (length < 0)
        return {};
    std::size_t size = std::size_t(length);
    // EVP_DecodeBlock counts the padding as bytes.
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i)
        --size;
    bytes.resize(size);
    return bytes;
}

std::string sshFingerprint(std::string_view keyBlob)
{
    std::string text = base64(sha256Raw(keyBlob));
    while (!text.empty() && text.back() == '=')
        text.pop_back();
    return "SHA256:" + text;
}

} // namespace vidlume::upload
