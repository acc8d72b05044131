// Keeps a password in the Credential Manager for an upload's login, as the
// window will when asked to remember it, or forgets it. The password is read
// from standard input (its first line), never from the command line.
//   keep_password PROTOCOL HOST PORT USER
//   keep_password --forget PROTOCOL HOST PORT USER

#include "platform/Keyring.h"

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    const bool forget = argc == 6 && std::string(argv[1]) == "--forget";
    if (argc != 5 && !forget) {
        std::fputs("usage: keep_password [--forget] PROTOCOL HOST PORT USER\n", stderr);
        return 2;
    }
    char** login = argv + (forget ? 2 : 1);
    const vidlume::platform::KeyringKey key{login[0], login[1], std::stoi(login[2]), login[3]};
    std::string error;
    bool done = false;
    if (forget) {
        done = vidlume::platform::forgetUploadPassword(key, error);
    } else {
        std::string secret;
        std::getline(std::cin, secret);
        if (!secret.empty() && secret.back() == '\r')
            secret.pop_back();
        done = vidlume::platform::storeUploadPassword(key, secret, error);
        vidlume::platform::wipeSecret(secret);
    }
    if (!done)
        std::fprintf(stderr, "%s\n", error.c_str());
    return done ? 0 : 1;
}
