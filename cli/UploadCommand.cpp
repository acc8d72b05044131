#include "cli/UploadCommand.h"

#include "platform/CancelSignals.h"
#include "cli/CliReport.h"
#include "cli/ProgressBar.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Keyring.h"
#include "platform/Terminal.h"
#include "upload/LocalFolder.h"
#include "upload/DavSite.h"
#include "upload/FtpsSite.h"
#include "upload/SftpSite.h"
#include "upload/Upload.h"
#include "upload/UploadUrl.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <chrono>

namespace vidlume::cli {

namespace {

struct UploadOptions
{
    std::string folder;
    std::string url;
    std::string identity;
    std::string knownHosts;
    std::string acceptHostKey;
    std::string caFile;
    std::string user;
    std::string passwordFile;
    std::string limitRate;
    std::string publicUrl;
    bool deleteMissing = false;
    bool help = false;
};

/// "500K", "2M", "1G" or plain bytes, per second; nothing for other text.
std::optional<std::uint64_t> parseRate(const std::string& text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data() || value == 0)
        return std::nullopt;
    const std::string unit(end, text.data() + text.size());
    std::uint64_t scale = 1;
    if (unit == "k" || unit == "K")
        scale = 1024;
    else if (unit == "m" || unit == "M")
        scale = 1024 * 1024;
    else if (unit == "g" || unit == "G")
        scale = 1024 * 1024 * 1024;
    else if (!unit.empty())
        return std::nullopt;
    if (value > (std::uint64_t(1) << 40))
        return std::nullopt;
    return value * scale;
}

/// The password, from --password-file, VIDLUME_PASSWORD, the desktop's keyring
/// or the terminal, in that order.
std::optional<std::string> readPassword(const std::string& passwordFile, const platform::KeyringKey& key)
{
    if (!passwordFile.empty()) {
        std::string text;
        if (const int error = platform::readSmallFile(passwordFile, 4096, text))
            throw Error("Cannot read the password file " + passwordFile + ": " + platform::systemErrorText(error));
        std::string firstLine = text.substr(0, text.find_first_of("\r\n"));
        platform::wipeSecret(text);
        return firstLine;
    }
    const std::string fromEnvironment = platform::environmentValue("VIDLUME_PASSWORD");
    if (!fromEnvironment.empty())
        return fromEnvironment;
    if (auto kept = platform::findUploadPassword(key))
        return kept;
    return platform::askSecret("Password for " + key.user + "@" + key.host + ": ");
}

std::string duration(double seconds)
{
    const long whole = long(seconds + 0.5);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

int usageError(const std::string& message)
{
    writeBytes(stderr, "vidlume-cli upload: " + message + "\nTry 'vidlume-cli upload --help'.\n");
    return exitUsage;
}

std::unique_ptr<upload::RemoteSite> connect(const upload::UploadUrl& url, const UploadOptions& options)
{
    const std::string user = !options.user.empty() ? options.user
                             : !url.user.empty()    ? url.user
                                                    : platform::loginName();
    const auto password = [&options, key = upload::keyringKeyOf(url, user)]() {
        return readPassword(options.passwordFile, key);
    };
    if (url.protocol == upload::Protocol::Sftp) {
        upload::SshLogin login;
        login.user = options.user;
        login.identityFile = options.identity;
        login.knownHostsFile = options.knownHosts.empty() ? platform::userSshFile("known_hosts") : options.knownHosts;
        login.acceptFingerprint = options.acceptHostKey;
        login.password = password;
        login.passphrase = [](const std::string& prompt) { return platform::askSecret(prompt); };
        return upload::connectSftp(url, login);
    }
    upload::TlsLogin login;
    login.user = user;
    login.caFile = options.caFile;
    login.password = password;
    login.cancelled = platform::cancelSignalReceived;
    return url.protocol == upload::Protocol::Ftps ? upload::connectFtps(url, login) : upload::connectWebDav(url, login);
}

int upload(const UploadOptions& options)
{
    std::string urlError;
    const auto url = upload::parseUploadUrl(options.url, urlError);
    if (!url)
        return usageError(urlError + ".");
    std::uint64_t rate = 0;
    if (!options.limitRate.empty()) {
        const auto parsed = parseRate(options.limitRate);
        if (!parsed)
            return usageError("--limit-rate needs bytes per second such as 500K or 2M, not '" +
                                    options.limitRate + "'.");
        rate = *parsed;
    }

    platform::installCancelSignals();
    ProgressBar bar(stderr);
    const auto started = std::chrono::steady_clock::now();
    upload::UploadControl control;
    control.cancelRequested = platform::cancelSignalReceived;
    control.bytesPerSecond = rate;
    control.deleteMissing = options.deleteMissing;
    control.onProgress = [&bar, started](const upload::UploadProgress& progress) {
        std::string extra;
        if (!progress.hashing) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            if (seconds > 0.5 && progress.bytesDone > 0) {
                const double perSecond = double(progress.bytesDone) / seconds;
                char text[64];
                std::snprintf(text, sizeof text, "  %.1f MiB/s  %s left", perSecond / (1 << 20),
                              duration(double(progress.bytesTotal - progress.bytesDone) / perSecond).c_str());
                extra = text;
            }
        }
        bar.show((progress.hashing ? "Reading " : "Sending ") + progress.fileName, progress.bytesDone,
                 progress.bytesTotal, extra);
    };

    try {
        upload::LocalFolder local = upload::scanLocalFolder(options.folder);
        std::string leftOut;
        for (const auto& entry : local.leftOut)
            leftOut += "Left out: " + entry.path + " (" + entry.reason + ")\n";
        writeBytes(stderr, leftOut);

        const auto remote = connect(*url, options);
        if (platform::cancelSignalReceived())
            throw upload::UploadCancelled();
        const upload::UploadReport report = upload::uploadFolder(local, *remote, control);
        bar.clear();

        char summary[160];
        std::snprintf(summary, sizeof summary, "Sent %zu file(s), %.1f MiB; %zu unchanged%s%s.\n",
                      report.sent.size(), double(report.bytesSent) / (1 << 20), report.unchanged.size(),
                      report.deleted.empty() ? "" : "; removed ",
                      report.deleted.empty() ? "" : std::to_string(report.deleted.size()).c_str());
        writeBytes(stderr, summary);

        std::string address = options.publicUrl.empty() ? options.url : options.publicUrl;
        const bool hasPage = std::any_of(local.files.begin(), local.files.end(),
                                         [](const upload::LocalFile& file) { return file.path == "index.htm"; });
        if (hasPage)
            address += (address.empty() || address.back() == '/' ? "" : "/") + std::string("index.htm");
        if (!writeBytes(stdout, address + "\n"))
            return exitFailure;
        return local.leftOut.empty() ? exitSuccess : exitLeftOut;
    } catch (const upload::UploadCancelled&) {
        bar.clear();
        writeBytes(stderr, "Stopped. The pages on the server are as they were; a rerun continues the files "
                           "sent so far.\n");
        return platform::cancelExitCode();
    } catch (const Error& error) {
        bar.clear();
        if (platform::cancelSignalReceived()) {
            writeBytes(stderr, "Stopped. The pages on the server are as they were.\n");
            return platform::cancelExitCode();
        }
        return reportFailure(error.what());
    }
}

} // namespace

std::string uploadUsageText()
{
    return "Usage: vidlume-cli upload [OPTIONS] [--] FOLDER URL\n"
           "Makes the remote folder URL a copy of the local FOLDER (a published video's\n"
           "folder, a site, or any folder), sending only files whose content changed, each\n"
           "under a temporary name first; pages are put in place after the files they show.\n"
           "Prints the page's web address on standard output.\n"
           "\n"
           "URL, one of three protocols:\n"
           "  sftp://[user@]host[:port]/path    SFTP (SSH); /~/path is inside the home folder\n"
           "  ftps://[user@]host[:port]/path    FTP with explicit TLS; the path is inside the\n"
           "                                    login folder\n"
           "  https://[user@]host[:port]/path   WebDAV (also davs://; http:// and dav:// work\n"
           "                                    without TLS, but never with a password)\n"
           "\n"
           "Options:\n"
           "  --identity FILE          SSH private key (ed25519 or ECDSA; RSA keys are refused);\n"
           "                           its passphrase is asked on the terminal\n"
           "  --known-hosts FILE       known-hosts file (default ~/.ssh/known_hosts)\n"
           "  --accept-host-key SHA256:...\n"
           "                           trust the server's key with this fingerprint and add it\n"
           "                           to the known-hosts file\n"
           "  --ca-file FILE           a CA to trust besides the system's (TLS)\n"
           "  --user NAME              user name on the server\n"
           "  --password-file FILE     read the password from the first line of FILE; else\n"
           "                           VIDLUME_PASSWORD, else the desktop's keyring (the same\n"
           "                           protocol, host, port and user), else it is asked on\n"
           "                           the terminal\n"
           "  --delete                 remove remote files that FOLDER lacks, of those a previous\n"
           "                           upload sent\n"
           "  --limit-rate RATE        at most RATE bytes per second (K, M, G: binary units)\n"
           "  --public-url URL         the web address of the remote folder, for the printed address\n"
           "  -h, --help               show this help\n"
           "With SSH_AUTH_SOCK set, the SSH agent's keys are tried first.\n"
           "\n"
           "Exit status:\n"
           "  0    every file of FOLDER is on the server\n"
           "  1    failure, with the server's words and what was left as it was\n"
           "  2    the command line is wrong\n"
           "  3    the copy is complete, but files were left out (named on standard error)\n"
           "  130  stopped by Ctrl-C (SIGINT), 143 by SIGTERM, 129 by SIGHUP: the pages on the\n"
           "       server are as they were, and a rerun continues\n";
}

int runUpload(const std::vector<std::string>& arguments)
{
    UploadOptions options;
    CLI::App app{"vidlume-cli upload"};
    app.set_help_flag();
    app.add_flag("-h,--help", options.help);
    app.add_option("--identity", options.identity);
    app.add_option("--known-hosts", options.knownHosts);
    app.add_option("--accept-host-key", options.acceptHostKey);
    app.add_option("--ca-file", options.caFile);
    app.add_option("--user", options.user);
    app.add_option("--password-file", options.passwordFile);
    app.add_option("--limit-rate", options.limitRate);
    app.add_option("--public-url", options.publicUrl);
    app.add_flag("--delete", options.deleteMissing);
    app.add_option("FOLDER", options.folder);
    app.add_option("URL", options.url);
    std::vector<std::string> words(arguments.rbegin(), arguments.rend());
    try {
        app.parse(words);
    } catch (const CLI::ParseError& error) {
        return usageError(std::string(error.what()) + ".");
    }
    if (options.help)
        return writeBytes(stdout, uploadUsageText()) ? exitSuccess : exitFailure;
    if (options.folder.empty() || options.url.empty())
        return usageError("upload needs FOLDER and URL.");
    if (!options.acceptHostKey.empty() && options.acceptHostKey.rfind("SHA256:", 0) != 0)
        return usageError("--accept-host-key needs a fingerprint that starts with SHA256:.");
    return upload(options);
}

} // namespace vidlume::cli
