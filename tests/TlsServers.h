#pragma once

// Debian's vsftpd (FTPS) and Apache httpd (WebDAV over HTTPS) on 127.0.0.1,
// started by servers/tls-server.sh with their own configuration, certificate
// and port in a scratch folder for a test suite, and stopped after.
#include "ScratchFolder.h"
#include "ServerProcesses.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vidlume::test {

/// A server the upload tests send to; kind is "ftps" or "webdav".
class TlsServer
{
public:
    explicit TlsServer(const std::string& kind) : m_kind(kind)
    {
        const std::string command =
            std::string("bash ") + VIDLUME_TLS_SERVER_SCRIPT + " " + kind + " " + m_folder.path() + " 2>&1";
        FILE* out = ::popen(command.c_str(), "r");
        char line[512] = {};
        const bool read = out && std::fgets(line, sizeof line, out);
        const int status = out ? ::pclose(out) : -1;
        char user[64] = {};
        if (!read || WEXITSTATUS(status) != 0 || std::sscanf(line, "%d %ld %63s", &m_port, &m_pid, user) != 3)
            throw std::runtime_error("the " + kind + " server did not start: " + line);
        m_user = user;
        std::getline(std::ifstream(m_folder.path("password")), m_password);
    }
    ~TlsServer()
    {
        ::kill(pid_t(m_pid), SIGTERM);
        // Not a child of ours: wait until it is gone (or only its exit status is left).
        for (int wait = 0; wait < 50; ++wait) {
            std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
            std::string pid, name, state;
            if (!(stat >> pid >> name >> state) || state == "Z")
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    /// The URL of folder (a path under the writable folder), over TLS.
    std::string url(const std::string& folder, const std::string& host = "127.0.0.1") const
    {
        return (m_kind == "ftps" ? "ftps://" : "https://") + host + ":" + std::to_string(m_port) + "/" + top() +
               "/" + folder;
    }
    /// The same folder over plain HTTP (WebDAV only).
    std::string plainUrl(const std::string& folder) const
    {
        return "http://127.0.0.1:" + std::to_string(m_port + 1) + "/" + top() + "/" + folder;
    }
    /// The local path of folder on the server.
    std::string served(const std::string& folder) const { return m_folder.path("root/" + top() + "/" + folder); }
    std::string caFile() const { return m_folder.path("ca.pem"); }
    const std::string& user() const { return m_user; }
    const std::string& password() const { return m_password; }
    /// Each request a WebDAV server took: method, path and the Authorization header.
    std::string requests() const { return readFile(m_folder.path("requests.log")); }

    /// Ends every connection the server has open now, as a network cut would.
    void cutConnections() const { killConnectionProcesses(m_pid); }
    /// Gives path to the user the server writes as.
    void ownedByServer(const std::string& path) const
    {
        if (::geteuid() == 0 &&
            std::system(("chown -R " + std::string(m_kind == "ftps" ? "ftp" : "www-data") + " " + path).c_str()))
            throw std::runtime_error("cannot give " + path + " to the server");
    }

private:
    std::string top() const { return m_kind == "ftps" ? "pub" : "www"; }

    std::string m_kind;
    ScratchFolder m_folder;
    std::string m_user;
    std::string m_password;
    int m_port = 0;
    long m_pid = 0;
};

struct FtpsServer : TlsServer
{
    FtpsServer() : TlsServer("ftps") {}
};

struct DavServer : TlsServer
{
    DavServer() : TlsServer("webdav") {}
};

} // namespace vidlume::test
