#include "site/ContentHash.h"

#include "platform/FileIo.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vidlume::site {

namespace {

constexpr std::uint64_t offsetBasis = 14695981039346656037ull;
constexpr std::uint64_t prime = 1099511628211ull;

std::uint64_t mix(std::uint64_t hash, const unsigned char* bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * prime;
    return hash;
}

std::string hashText(std::uint64_t hash)
{
    char text[32];
    std::snprintf(text, sizeof text, "fnv1a64:%016llx", static_cast<unsigned long long>(hash));
    return text;
}

} // namespace

std::string hashFileContent(const std::string& path, int& error, const std::function<bool()>& cancelRequested)
{
    error = 0;
    const int fd = platform::openForReading(path);
    if (fd < 0) {
        error = errno;
        return {};
    }
    std::vector<unsigned char> buffer(1 << 20);
    std::uint64_t hash = offsetBasis;
    std::uint64_t offset = 0;
    for (;;) {
        if (cancelRequested && cancelRequested()) {
            error = ECANCELED;
            break;
        }
        const long long got = platform::readAt(fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = errno;
            break;
        }
        if (got == 0)
            break;
        hash = mix(hash, buffer.data(), static_cast<std::size_t>(got));
        offset += static_cast<std::uint64_t>(got);
    }
    ::close(fd);
    return error ? std::string() : hashText(hash);
}

std::string hashBytes(const std::string& bytes)
{
    return hashText(mix(offsetBasis, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
}

} // namespace vidlume::site
