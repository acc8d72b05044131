#pragma once

#include <optional>
#include <string>

namespace vidlume::platform {

/// The login an upload password belongs to: the same protocol, host, port and
/// user find the same password.
struct KeyringKey
{
    std::string protocol; // "sftp", "ftps", "https" or "http"; "ssh-key" for a key's passphrase, host its file
    std::string host;
    int port = 0;
    std::string user;
};

/// The name the desktop's password manager shows for the key's password:
/// "Vidlume upload: sftp://user@host:port", or for a key's passphrase
/// "Vidlume upload: passphrase of the SSH key /home/ann/.ssh/id_ed25519".
std::string keyringLabel(const KeyringKey& key);

/// The password kept for key in the desktop's keyring (the Secret Service on
/// Linux, the Credential Manager on Windows). Nothing when none is kept, and
/// also when there is no keyring to ask or it does not answer within a few
/// seconds.
std::optional<std::string> findUploadPassword(const KeyringKey& key);

/// Keeps secret for key in the keyring, replacing what was kept for it.
/// False with error set, worded for the user, when it could not.
bool storeUploadPassword(const KeyringKey& key, const std::string& secret, std::string& error);

/// Removes the password kept for key; true also when none was kept. False with
/// error set when the keyring could not be reached.
bool forgetUploadPassword(const KeyringKey& key, std::string& error);

/// Overwrites the bytes of secret before emptying it, so that the password is
/// not left in freed memory.
void wipeSecret(std::string& secret);

} // namespace vidlume::platform
