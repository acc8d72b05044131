#include "upload/SshHostKey.h"

#include "platform/AppendFile.h"
#include "app/Error.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "upload/Digest.h"

#include <libssh2.h>

#include <cerrno>
#include <memory>

namespace vidlume::upload {

namespace {

constexpr std::size_t largestKnownHosts = 4u << 20;

struct KnownHostsFree
{
    void operator()(LIBSSH2_KNOWNHOSTS* hosts) const { libssh2_knownhost_free(hosts); }
};

struct KeyKind
{
    const char* name;
    int knownHostBit;
};

KeyKind kindOf(int type)
{
    switch (type) {
    case LIBSSH2_HOSTKEY_TYPE_RSA: return {"ssh-rsa", LIBSSH2_KNOWNHOST_KEY_SSHRSA};
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_256: return {"ecdsa-sha2-nistp256", LIBSSH2_KNOWNHOST_KEY_ECDSA_256};
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_384: return {"ecdsa-sha2-nistp384", LIBSSH2_KNOWNHOST_KEY_ECDSA_384};
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_521: return {"ecdsa-sha2-nistp521", LIBSSH2_KNOWNHOST_KEY_ECDSA_521};
    case LIBSSH2_HOSTKEY_TYPE_ED25519: return {"ssh-ed25519", LIBSSH2_KNOWNHOST_KEY_ED25519};
    default: return {"unknown", LIBSSH2_KNOWNHOST_KEY_UNKNOWN};
    }
}

std::string hostField(const std::string& host, int port)
{
    return port == 22 ? host : "[" + host + "]:" + std::to_string(port);
}

} // namespace

void checkHostKey(LIBSSH2_SESSION* ssh, const std::string& host, int port, const std::string& knownHostsFile,
                  const std::string& acceptFingerprint)
{
    std::size_t length = 0;
    int type = 0;
    const char* key = libssh2_session_hostkey(ssh, &length, &type);
    if (!key)
        throw Error("The server at " + host + " showed no host key");
    const std::string blob(key, length);
    const KeyKind kind = kindOf(type);
    const std::string fingerprint = sshFingerprint(blob);

    std::unique_ptr<LIBSSH2_KNOWNHOSTS, KnownHostsFree> hosts(libssh2_knownhost_init(ssh));
    std::string text;
    const int readError = platform::readSmallFile(knownHostsFile, largestKnownHosts, text);
    if (readError != 0 && readError != ENOENT)
        throw Error("Cannot read the known-hosts file " + knownHostsFile + ": " +
                    platform::systemErrorText(readError));
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '#' || line[0] == '@')
            continue;
        // A line libssh2 cannot read (a key type it does not know) is passed over.
        libssh2_knownhost_readline(hosts.get(), line.data(), line.size(), LIBSSH2_KNOWNHOST_FILE_OPENSSH);
    }

    libssh2_knownhost* found = nullptr;
    const int check = kind.knownHostBit == LIBSSH2_KNOWNHOST_KEY_UNKNOWN
                          ? LIBSSH2_KNOWNHOST_CHECK_NOTFOUND
                          : libssh2_knownhost_checkp(hosts.get(), host.c_str(), port, key, length,
                                                     LIBSSH2_KNOWNHOST_TYPE_PLAIN | LIBSSH2_KNOWNHOST_KEYENC_RAW |
                                                         kind.knownHostBit,
                                                     &found);
    if (check == LIBSSH2_KNOWNHOST_CHECK_MATCH)
        return;

    const std::string what = std::string(kind.name) + " key " + fingerprint;
    if (!acceptFingerprint.empty()) {
        if (acceptFingerprint != fingerprint)
            throw Error("The server at " + hostField(host, port) + " showed the " + what + ", not " +
                        acceptFingerprint + " as --accept-host-key says. Nothing was sent");
        const std::string line = hostField(host, port) + " " + kind.name + " " + base64(blob) + "\n";
        const std::string folder = platform::folderOf(knownHostsFile);
        if (!platform::isRootPath(folder))
            platform::createDirectory(folder); // ~/.ssh on a first use
        if (const int error = platform::appendToFile(knownHostsFile, line))
            throw Error("Cannot add the host key to " + knownHostsFile + ": " + platform::systemErrorText(error));
        return;
    }
    if (check == LIBSSH2_KNOWNHOST_CHECK_MISMATCH)
        throw HostKeyNotTrusted("The host key of " + hostField(host, port) + " has CHANGED: the server showed the " +
                                    what + ", which " + knownHostsFile +
                                    " does not have for it. Someone may be in the middle, or the server was "
                                    "reinstalled. Nothing was sent. If you know the new key is right, run again "
                                    "with --accept-host-key " +
                                    fingerprint,
                                what, fingerprint, true);
    throw HostKeyNotTrusted("The server " + hostField(host, port) + " is not known: it showed the " + what +
                                ", which " + knownHostsFile +
                                " does not hold. Nothing was sent. Check the fingerprint with the server's "
                                "administrator, then run again with --accept-host-key " + fingerprint,
                            what, fingerprint, false);
}

} // namespace vidlume::upload
