#include "platform/Keyring.h"

#include "platform/win32/WinText.h"

#include <windows.h>
#include <wincred.h>

// The Credential Manager's generic credentials, named by keyringLabel() (what
// the Control Panel shows), the user's name beside it and the password as
// UTF-16, as Windows' own tools keep one.

namespace vidlume::platform {

namespace {

void wipeWide(std::wstring& text)
{
    SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    text.clear();
}

} // namespace

std::optional<std::string> findUploadPassword(const KeyringKey& key)
{
    const std::wstring target = win32::toWide(keyringLabel(key));
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(target.c_str(), CRED_TYPE_GENERIC, 0, &credential))
        return std::nullopt;
    std::wstring wide(reinterpret_cast<const wchar_t*>(credential->CredentialBlob),
                      credential->CredentialBlobSize / sizeof(wchar_t));
    SecureZeroMemory(credential->CredentialBlob, credential->CredentialBlobSize);
    CredFree(credential);
    std::string password = win32::toUtf8(wide);
    wipeWide(wide);
    return password;
}

bool storeUploadPassword(const KeyringKey& key, const std::string& secret, std::string& error)
{
    std::wstring target = win32::toWide(keyringLabel(key));
    std::wstring user = win32::toWide(key.user);
    std::wstring wide = win32::toWide(secret);
    if (wide.size() * sizeof(wchar_t) > CRED_MAX_CREDENTIAL_BLOB_SIZE) {
        wipeWide(wide);
        error = "Cannot keep the password: the Credential Manager keeps at most " +
                std::to_string(CRED_MAX_CREDENTIAL_BLOB_SIZE / sizeof(wchar_t)) + " characters";
        return false;
    }
    CREDENTIALW credential = {};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = target.data();
    credential.UserName = user.data();
    credential.CredentialBlobSize = DWORD(wide.size() * sizeof(wchar_t));
    credential.CredentialBlob = reinterpret_cast<LPBYTE>(wide.data());
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    const bool written = CredWriteW(&credential, 0);
    const DWORD code = GetLastError();
    wipeWide(wide);
    if (!written)
        error = "Cannot keep the password in the Credential Manager: " + win32::win32ErrorText(code);
    return written;
}

bool forgetUploadPassword(const KeyringKey& key, std::string& error)
{
    const std::wstring target = win32::toWide(keyringLabel(key));
    if (CredDeleteW(target.c_str(), CRED_TYPE_GENERIC, 0) || GetLastError() == ERROR_NOT_FOUND)
        return true;
    error = "Cannot forget the password in the Credential Manager: " + win32::win32ErrorText(GetLastError());
    return false;
}

} // namespace vidlume::platform
