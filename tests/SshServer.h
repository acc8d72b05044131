#pragma once

#include "ScratchFolder.h"
#include "ServerProcesses.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vidlume::test {

/// Debian's OpenSSH server on 127.0.0.1 with its own port, host key, user key
/// and configuration in a scratch folder, started for a test and stopped after.
/// It logs in the user running the test with the user key or no password at all.
class SshServer
{
public:
    SshServer()
    {
        const std::string dir = m_folder.path();
        run("ssh-keygen -q -t ed25519 -N '' -C test-host -f " + dir + "/host_key");
        run("ssh-keygen -q -t ed25519 -N '' -C test-user -f " + dir + "/user_key");
        run("cp " + dir + "/user_key.pub " + dir + "/authorized_keys");
        m_user = ::getpwuid(::getuid())->pw_name;
        if (::geteuid() == 0)
            std::filesystem::create_directories("/run/sshd"); // sshd's privilege separation folder
        for (int attempt = 0; attempt < 20 && !m_pid; ++attempt) {
            m_port = 20000 + int((::getpid() * 7 + attempt * 131) % 30000);
            std::ofstream(dir + "/sshd_config") << "Port " << m_port << "\nListenAddress 127.0.0.1\n"
                                                << "HostKey " << dir << "/host_key\nPidFile " << dir
                                                << "/sshd.pid\nAuthorizedKeysFile " << dir
                                                << "/authorized_keys\nStrictModes no\nUsePAM no\n"
                                                << "PasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                                                << "PermitRootLogin prohibit-password\n"
                                                << "Subsystem sftp internal-sftp\n";
            std::filesystem::remove(dir + "/sshd.pid");
            if (std::system(("/usr/sbin/sshd -f " + dir + "/sshd_config -E " + dir + "/sshd.log").c_str()) != 0)
                continue;
            for (int wait = 0; wait < 50 && !m_pid; ++wait) {
                std::ifstream pidFile(dir + "/sshd.pid");
                pidFile >> m_pid;
                if (!m_pid)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        if (!m_pid)
            throw std::runtime_error("sshd did not start");
        std::ifstream(dir + "/host_key.pub") >> m_hostKeyType >> m_hostKey;
    }
    ~SshServer()
    {
        if (m_pid)
            ::kill(m_pid, SIGTERM);
    }

    /// Ends every connection the server has open now, as a network cut would.
    void cutConnections() const { killConnectionProcesses(m_pid); }

    std::string userKey() const { return m_folder.path("user_key"); }
    /// Lets the key whose public half is in publicKeyFile log in too.
    void authorize(const std::string& publicKeyFile) const
    {
        run("cat " + publicKeyFile + " >> " + m_folder.path("authorized_keys"));
    }
    /// A known-hosts line for the server's key.
    std::string knownHostsLine() const
    {
        return "[127.0.0.1]:" + std::to_string(m_port) + " " + m_hostKeyType + " " + m_hostKey + "\n";
    }
    std::string fingerprint() const
    {
        const std::string out = m_folder.path("fingerprint");
        run("ssh-keygen -lf " + m_folder.path("host_key.pub") + " | cut -d' ' -f2 > " + out);
        std::string text;
        std::ifstream(out) >> text;
        return text;
    }
    int port() const { return m_port; }
    const std::string& user() const { return m_user; }

private:
    static void run(const std::string& command)
    {
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("failed: " + command);
    }

    ScratchFolder m_folder;
    std::string m_user;
    std::string m_hostKeyType;
    std::string m_hostKey;
    int m_port = 0;
    long m_pid = 0;
};

} // namespace vidlume::test
