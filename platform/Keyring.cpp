#include "platform/Keyring.h"

namespace vidlume::platform {

std::string keyringLabel(const KeyringKey& key)
{
    if (key.protocol == "ssh-key")
        return "Vidlume upload: passphrase of the SSH key " + key.host;
    const bool numericIpv6 = key.host.find(':') != std::string::npos;
    const std::string host = numericIpv6 ? "[" + key.host + "]" : key.host;
    return "Vidlume upload: " + key.protocol + "://" + key.user + "@" + host + ":" + std::to_string(key.port);
}

void wipeSecret(std::string& secret)
{
    // Bytes past the end may hold an earlier, longer text: the resize zeroes them.
    secret.resize(secret.capacity());
    volatile char* bytes = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i)
        bytes[i] = 0;
    secret.clear();
}

} // namespace vidlume::platform
