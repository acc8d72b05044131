#pragma once

// Debian's vsftpd (FTPS) and Apache httpd (WebDAV over HTTPS) on 127.0.0.1,
// each with its own configuration, certificate and port in a scratch folder,
// started for a test suite and stopped after.
#include "ScratchFolder.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vidlume::test {

inline void runOrThrow(const std::string& command)
{
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}

inline bool portAnswers(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool answered = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return answered;
}

inline bool waitForPort(int port)
{
    for (int wait = 0; wait < 100; ++wait) {
        if (portAnswers(port))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

/// Kills the children of pid: the processes that serve its connections.
inline void killChildren(long pid)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string child, name, state;
        long parent = 0;
        if (stat >> child >> name >> state >> parent && parent == pid)
            ::kill(std::stol(child), SIGKILL);
    }
}

/// A test CA and a server certificate it signed for 127.0.0.1 (and no other
/// name), made with openssl in folder.
inline void makeCertificates(const std::string& folder)
{
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
    runOrThrow("cd " + folder + " && openssl req -x509" + ec + "-days 2 -subj '/CN=Vidlume test CA' " +
               "-keyout ca.key -out ca.pem 2>/dev/null && openssl req" + ec + "-subj '/CN=127.0.0.1' " +
               "-keyout server.key -out server.csr 2>/dev/null && echo subjectAltName=IP:127.0.0.1 > ext && " +
               "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 " +
               "-extfile ext -out server.pem 2>/dev/null");
}

/// What a test suite needs of a server it uploads to.
class TlsServer
{
public:
    virtual ~TlsServer() = default;
    /// The URL of folder (a path under the served root).
    virtual std::string url(const std::string& folder, const std::string& host = "127.0.0.1") const = 0;
    /// The local path of folder in the served root.
    std::string served(const std::string& folder) const { return m_folder.path("root/" + m_top + "/" + folder); }
    std::string caFile() const { return m_folder.path("ca.pem"); }
    const std::string& user() const { return m_user; }
    const std::string& password() const { return m_password; }
    /// Ends every connection the server has open now, as a network cut would.
    void cutConnections() const { killChildren(m_pid); }
    /// Gives the folder to the server's user, as the server's own files are.
    void ownedByServer(const std::string& path) const
    {
        if (::geteuid() == 0)
            runOrThrow("chown -R " + m_serverUser + " " + path);
    }

protected:
    ScratchFolder m_folder;
    std::string m_top;          // the writable folder under the served root
    std::string m_user;
    std::string m_password = "open sesame";
    std::string m_serverUser;
    int m_port = 0;
    long m_pid = 0;
};

/// vsftpd with explicit TLS. Its anonymous user stands in for an account:
/// it logs in only with the password in its list and works in root/pub.
class FtpsServer : public TlsServer
{
public:
    FtpsServer()
    {
        if (::geteuid() != 0 || !::getpwnam("ftp"))
            throw std::runtime_error("vsftpd needs root and its user ftp");
        const std::string dir = m_folder.path();
        makeCertificates(dir);
        m_top = "pub";
        m_user = "anonymous";
        m_serverUser = "ftp";
        std::filesystem::create_directories(m_folder.path("root/pub"));
        std::filesystem::create_directories(m_folder.path("empty"));
        runOrThrow("chmod 755 " + dir + " && chmod 555 " + dir + "/root && chown ftp " + dir + "/root/pub");
        std::ofstream(m_folder.path("passwords")) << m_password << "\n";
        for (int attempt = 0; attempt < 20 && !m_pid; ++attempt) {
            m_port = 20000 + int((::getpid() * 11 + attempt * 137) % 20000);
            const int passive = 40000 + int((::getpid() * 13 + attempt * 71) % 20000);
            std::ofstream(m_folder.path("vsftpd.conf"))
                << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" << m_port
                << "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\nanon_root=" << dir
                << "/root\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\nanon_other_write_enable=YES\n"
                << "anon_world_readable_only=NO\nanon_umask=022\nsecure_email_list_enable=YES\n"
                << "email_password_file=" << dir << "/passwords\nsecure_chroot_dir=" << dir << "/empty\n"
                << "ssl_enable=YES\nssl_ciphers=HIGH\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\n"
                << "rsa_cert_file=" << dir << "/server.pem\nrsa_private_key_file=" << dir << "/server.key\n"
                << "pasv_min_port=" << passive << "\npasv_max_port=" << passive + 20
                << "\npasv_address=127.0.0.1\nseccomp_sandbox=NO\nvsftpd_log_file=" << dir << "/vsftpd.log\n";
            const std::string config = m_folder.path("vsftpd.conf");
            char* arguments[] = {const_cast<char*>("/usr/sbin/vsftpd"), const_cast<char*>(config.c_str()), nullptr};
            pid_t pid = 0;
            if (::posix_spawn(&pid, arguments[0], nullptr, nullptr, arguments, environ) != 0)
                throw std::runtime_error("cannot start vsftpd");
            if (waitForPort(m_port)) {
                m_pid = pid;
            } else {
                ::kill(pid, SIGTERM);
                ::waitpid(pid, nullptr, 0);
            }
        }
        if (!m_pid)
            throw std::runtime_error("vsftpd did not start");
    }
    ~FtpsServer() override
    {
        ::kill(pid_t(m_pid), SIGTERM);
        ::waitpid(pid_t(m_pid), nullptr, 0);
    }
    std::string url(const std::string& folder, const std::string& host) const override
    {
        return "ftps://" + host + ":" + std::to_string(m_port) + "/pub/" + folder;
    }
};

/// Apache httpd with mod_dav over HTTPS and basic authentication.
class DavServer : public TlsServer
{
public:
    DavServer()
    {
        const std::string dir = m_folder.path();
        makeCertificates(dir);
        m_top = "www";
        m_user = "alice";
        m_serverUser = "www-data";
        std::filesystem::create_directories(m_folder.path("root/www"));
        std::filesystem::create_directories(m_folder.path("run"));
        runOrThrow("chmod 755 " + dir + " && printf '%s\\n' '" + m_password + "' | htpasswd -i -c -B " + dir +
                   "/users alice 2>/dev/null");
        ownedByServer(dir + "/root/www " + dir + "/run");
        const std::string modules = "/usr/lib/apache2/modules/";
        for (int attempt = 0; attempt < 20 && !m_pid; ++attempt) {
            m_port = 20000 + int((::getpid() * 17 + attempt * 149) % 20000);
            m_plainPort = m_port + 1;
            std::ofstream config(m_folder.path("httpd.conf"));
            config << "ServerRoot " << dir << "\nListen 127.0.0.1:" << m_port << "\nListen 127.0.0.1:"
                   << m_plainPort << "\nPidFile " << dir << "/run/httpd.pid\nErrorLog " << dir
                   << "/error.log\nServerName 127.0.0.1\n"
                   << "LogFormat \"%m %U authorization=%{Authorization}i\" requests\nCustomLog " << dir
                   << "/requests.log requests\n";
            for (const char* module : {"mpm_event", "authz_core", "authn_core", "authn_file", "auth_basic",
                                       "authz_user", "dav", "dav_fs", "ssl", "socache_shmcb"})
                config << "LoadModule " << module << "_module " << modules << "mod_" << module << ".so\n";
            if (::geteuid() == 0)
                config << "User www-data\nGroup www-data\n";
            config << "DocumentRoot " << dir << "/root\nDavLockDB " << dir << "/run/DavLock\n"
                   << "<VirtualHost 127.0.0.1:" << m_port << ">\n  SSLEngine on\n  SSLCertificateFile " << dir
                   << "/server.pem\n  SSLCertificateKeyFile " << dir << "/server.key\n</VirtualHost>\n<Directory " << dir << "/root>\n  Dav On\n  AuthType Basic\n"
                   << "  AuthName test\n  AuthUserFile " << dir << "/users\n  Require valid-user\n</Directory>\n";
            config.close();
            if (std::system(("/usr/sbin/apache2 -f " + dir + "/httpd.conf -k start").c_str()) != 0)
                continue;
            if (!waitForPort(m_port))
                continue;
            for (int wait = 0; wait < 50 && !m_pid; ++wait) {
                std::ifstream(dir + "/run/httpd.pid") >> m_pid;
                if (!m_pid)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        if (!m_pid)
            throw std::runtime_error("Apache httpd did not start");
    }
    ~DavServer() override
    {
        ::kill(pid_t(m_pid), SIGTERM);
        for (int wait = 0; wait < 50 && ::kill(pid_t(m_pid), 0) == 0; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::string url(const std::string& folder, const std::string& host) const override
    {
        return "https://" + host + ":" + std::to_string(m_port) + "/www/" + folder;
    }
    /// The same folders over plain HTTP.
    std::string plainUrl(const std::string& folder) const
    {
        return "http://127.0.0.1:" + std::to_string(m_plainPort) + "/www/" + folder;
    }
    /// Each request the server took: method, path and the Authorization header.
    std::string requests() const { return readFile(m_folder.path("requests.log")); }

private:
    int m_plainPort = 0;
};

} // namespace vidlume::test
