#include "form/UploadForm.h"

#include "app/Error.h"
#include "form/ProgressText.h"
#include "form/UploadSites.h"
#include "app/GlobalUnit.h"
#include "app/SettingsFile.h"
#include "platform/Environment.h"
#include "platform/Keyring.h"
#include "platform/Launcher.h"
#include "upload/DavSite.h"
#include "upload/FtpsSite.h"
#include "upload/LocalFolder.h"
#include "upload/SftpSite.h"
#include "upload/SshHostKey.h"
#include "upload/Upload.h"
#include "upload/UploadUrl.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

namespace vidlume::form {

namespace {

int defaultPort(UploadProtocol protocol)
{
    switch (protocol) {
    case UploadProtocol::Sftp: return 22;
    case UploadProtocol::Ftps: return 21;
    case UploadProtocol::WebDav: return 443;
    }
    return 0;
}

std::string schemeOf(UploadProtocol protocol)
{
    switch (protocol) {
    case UploadProtocol::Sftp: return "sftp";
    case UploadProtocol::Ftps: return "ftps";
    case UploadProtocol::WebDav: return "https";
    }
    return {};
}

std::string trimmed(std::string text)
{
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

/// The remote folder as the upload library takes it: no "/" at the end;
/// for SFTP a folder without a leading "/" lies in the home folder.
std::string remotePath(const UploadTarget& target)
{
    std::string path = trimmed(target.remoteFolder);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (target.protocol != UploadProtocol::Sftp && (path.empty() || path.front() != '/'))
        path.insert(0, "/");
    return path;
}

upload::UploadUrl urlOf(const UploadTarget& target)
{
    upload::UploadUrl url;
    url.protocol = target.protocol == UploadProtocol::Sftp   ? upload::Protocol::Sftp
                   : target.protocol == UploadProtocol::Ftps ? upload::Protocol::Ftps
                                                             : upload::Protocol::WebDav;
    url.tls = true;
    url.user = trimmed(target.user);
    url.host = trimmed(target.host);
    url.port = target.port > 0 ? target.port : defaultPort(target.protocol);
    url.path = remotePath(target);
    return url;
}

std::string percentEncoded(const std::string& path)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : path) {
        if (std::isalnum(c) || std::string_view("-._~/!$&'()*+,;=:@").find(char(c)) != std::string_view::npos) {
            out += char(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

} // namespace

std::string uploadAddress(const UploadTarget& target)
{
    const upload::UploadUrl url = urlOf(target);
    std::string address = schemeOf(target.protocol) + "://";
    if (!url.user.empty())
        address += percentEncoded(url.user) + "@";
    address += url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
    if (url.port != defaultPort(target.protocol))
        address += ":" + std::to_string(url.port);
    if (target.protocol == UploadProtocol::Sftp && (url.path.empty() || url.path.front() != '/'))
        address += "/~" + std::string(url.path.empty() ? "" : "/") + percentEncoded(url.path);
    else
        address += percentEncoded(url.path);
    return address;
}

UploadForm::UploadForm(UploadFormView& view, std::string folder, UploadTarget target)
    : m_view(view), m_folder(std::move(folder)), m_initial(std::move(target))
{
}

UploadForm::~UploadForm()
{
    stopWorker();
}

void UploadForm::show()
{
    if (!m_sitesFile && GlobalObject)
        m_sitesFile = GlobalObject->SettingsFileName();
    offerRecentSites();
    m_view.setFolder(m_folder);
    // With nothing given, the site used last is filled in.
    m_view.setTarget(m_initial.host.empty() && !m_recentSites.empty() ? m_recentSites.front() : m_initial);
    m_view.setProgress(0, "", "");
    m_view.setStatus("Sends the folder to the folder on your server; only what changed is sent again, and "
                     "pages go up after the files they show.");
    enableButtons();
}

void UploadForm::targetChanged()
{
    enableButtons();
}

void UploadForm::chooseFolderClick()
{
    if (m_phase == UploadPhase::Sending)
        return;
    if (const auto chosen = m_view.chooseFolder()) {
        m_view.setFolder(*chosen);
        enableButtons();
    }
}

bool UploadForm::canStart() const
{
    return !trimmed(m_view.target().host).empty() && !m_view.folder().empty();
}

void UploadForm::enableButtons()
{
    const bool sending = m_phase == UploadPhase::Sending;
    m_view.enableButton(UploadButton::Upload, !sending && canStart());
    m_view.enableButton(UploadButton::Cancel, sending);
    m_view.enableButton(UploadButton::OpenPage, !sending && !m_pageAddress.empty());
    m_view.enableButton(UploadButton::CopyAddress, !sending && !m_pageAddress.empty());
}

void UploadForm::uploadClick()
{
    if (m_phase == UploadPhase::Sending || !canStart())
        return;
    m_pageAddress.clear();
    start("");
}

void UploadForm::start(const std::string& acceptFingerprint)
{
    stopWorker();
    m_phase = UploadPhase::Sending;
    m_started = std::chrono::steady_clock::now();
    m_view.setStatus("Connecting to " + trimmed(m_view.target().host) + "\u2026");
    m_view.setProgress(0, "", "");
    enableButtons();
    m_sending = m_view.target();
    m_worker = std::thread(&UploadForm::work, this, m_view.folder(), m_view.target(), m_view.secret(),
                           m_view.rememberSecret(), acceptFingerprint);
}

void UploadForm::work(std::string folder, UploadTarget target, std::string secret, bool remember,
                      std::string acceptFingerprint)
{
    try {
        upload::LocalFolder local = upload::scanLocalFolder(folder);
        const upload::UploadUrl url = urlOf(target);
        std::unique_ptr<upload::RemoteSite> remote;
        const std::string user = url.user.empty() ? platform::loginName() : url.user;
        const bool password = target.auth == UploadAuth::Password;
        const bool keyFile = target.auth == UploadAuth::KeyFile;
        const platform::KeyringKey keyringKey =
            keyFile ? upload::keyringKeyOfSshKey(target.keyFile) : upload::keyringKeyOf(url, user);
        // A password or passphrase not typed may be in the desktop's keyring from an earlier upload.
        const auto typed = [secret, password, keyFile, keyringKey]() -> std::optional<std::string> {
            if (!secret.empty())
                return secret;
            return password || keyFile ? platform::findUploadPassword(keyringKey) : std::nullopt;
        };
        try {
            if (target.protocol == UploadProtocol::Sftp) {
                upload::SshLogin login;
                login.user = url.user;
                login.identityFile = target.auth == UploadAuth::KeyFile ? target.keyFile : std::string();
                login.knownHostsFile = m_knownHosts.empty() ? platform::userSshFile("known_hosts") : m_knownHosts;
                login.acceptFingerprint = acceptFingerprint;
                if (target.auth == UploadAuth::Password)
                    login.password = typed;
                if (target.auth == UploadAuth::KeyFile)
                    login.passphrase = [typed](const std::string&) { return typed(); };
                remote = upload::connectSftp(url, login);
            } else {
                upload::TlsLogin login;
                login.user = user;
                login.caFile = m_caFile;
                login.password = typed;
                login.cancelled = [this] { return m_cancel.load(); };
                remote = target.protocol == UploadProtocol::Ftps ? upload::connectFtps(url, login)
                                                                 : upload::connectWebDav(url, login);
            }
        } catch (const upload::HostKeyNotTrusted& refused) {
            if (refused.changed())
                throw Error("The host key of " + url.host + " has CHANGED: the server showed the " + refused.key() +
                            ", not the key recorded for it. Someone may be in the middle, or the server was "
                            "reinstalled. Nothing was sent; ask the server's administrator.");
            const std::lock_guard guard(m_mutex);
            m_shared.unknownKey = {"The server " + url.host + " is not known yet. It showed the " + refused.key() +
                                       ".\n\nCompare this fingerprint with the one the server's administrator "
                                       "gives you. Trust this key and upload?",
                                   refused.fingerprint()};
            m_shared.workerDone = true;
            return;
        }
        upload::UploadControl control;
        control.cancelRequested = [this] { return m_cancel.load(); };
        control.onProgress = [this](const upload::UploadProgress& progress) {
            const std::lock_guard guard(m_mutex);
            m_shared.file = progress.fileName;
            m_shared.reading = progress.hashing;
            m_shared.done = progress.bytesDone;
            m_shared.total = progress.bytesTotal;
            m_shared.fileDone = progress.fileDone;
            m_shared.fileSize = progress.fileSize;
        };
        const upload::UploadReport report = upload::uploadFolder(local, *remote, control);
        std::string summary = "Sent " + std::to_string(report.sent.size()) + " file(s), " +
                              dataSizeText(report.bytesSent) + "; " + std::to_string(report.unchanged.size()) +
                              " unchanged.";
        for (const upload::LeftOutEntry& entry : local.leftOut)
            summary += "\nLeft out: " + entry.path + " (" + entry.reason + ")";
        if (remember && (password || keyFile) && !secret.empty()) {
            std::string error;
            if (!platform::storeUploadPassword(keyringKey, secret, error))
                summary += "\n" + error + ".";
        }
        const bool hasPage = std::any_of(local.files.begin(), local.files.end(),
                                         [](const upload::LocalFile& file) { return file.path == "index.htm"; });
        std::string address = trimmed(target.publicUrl);
        if (address.empty() && target.protocol == UploadProtocol::WebDav)
            address = uploadAddress(target);
        if (!address.empty() && hasPage)
            address += (address.back() == '/' ? "" : "/") + std::string("index.htm");
        const std::lock_guard guard(m_mutex);
        m_shared.finished = summary;
        m_shared.address = address;
    } catch (const upload::UploadCancelled&) {
        const std::lock_guard guard(m_mutex);
        m_shared.cancelled = true;
    } catch (const std::exception& error) {
        const std::lock_guard guard(m_mutex);
        m_shared.failure = error.what();
    }
    const std::lock_guard guard(m_mutex);
    m_shared.workerDone = true;
}

void UploadForm::stopWorker()
{
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
    m_cancel = false;
    const std::lock_guard guard(m_mutex);
    m_shared = Shared();
}

bool UploadForm::poll()
{
    if (m_phase != UploadPhase::Sending)
        return false;
    Shared now;
    {
        const std::lock_guard guard(m_mutex);
        now = m_shared;
    }
    if (!now.workerDone) {
        if (now.reading) {
            m_view.setProgress(0, now.file, "Reading the file for its digest");
        } else if (now.total > 0) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
            std::string text = dataSizeText(now.done) + " of " + dataSizeText(now.total);
            if (seconds > 0.5 && now.done > 0) {
                const double rate = double(now.done) / seconds;
                text += ", " + dataSizeText(std::uint64_t(rate)) + "/s. " +
                        timeLeftText(std::uint64_t(double(now.total - now.done) / rate + 0.5));
            }
            // The file being sent with how much of it is there, the bar for the whole folder.
            const std::string file = now.fileSize > 0 ? now.file + ": " +
                                                            std::to_string(now.fileDone * 100 / now.fileSize) +
                                                            " % of " + dataSizeText(now.fileSize)
                                                      : now.file;
            m_view.setProgress(int(now.done * barSteps / now.total), file, text);
        }
        return true;
    }
    stopWorker();
    m_phase = UploadPhase::Finished;
    if (now.unknownKey) {
        enableButtons();
        if (m_view.confirmHostKey(now.unknownKey->first)) {
            start(now.unknownKey->second);
            return true;
        }
        m_view.setStatus("Nothing was sent: the server's host key was not trusted.");
    } else if (now.failure) {
        m_view.setStatus(*now.failure);
    } else if (now.cancelled) {
        m_view.setStatus("Stopped. The pages on the server are as they were; the next upload goes on from "
                         "the files sent so far.");
    } else if (now.finished) {
        m_pageAddress = now.address;
        m_view.setProgress(barSteps, "", "");
        std::string status = *now.finished + (m_pageAddress.empty() ? "" : "\nThe page: " + m_pageAddress);
        if (std::string problem; !keepSite(problem))
            status += "\n" + problem;
        m_view.setStatus(status);
    }
    enableButtons();
    return false;
}

void UploadForm::cancelClick()
{
    if (m_phase == UploadPhase::Sending)
        m_cancel = true;
}

void UploadForm::openPageClick()
{
    if (m_pageAddress.empty())
        return;
    (m_launcher ? *m_launcher : platform::systemLauncher()).openUrl(m_pageAddress);
}

void UploadForm::copyAddressClick()
{
    if (!m_pageAddress.empty())
        m_view.copyToClipboard(m_pageAddress);
}

void UploadForm::offerRecentSites()
{
    m_recentSites = m_sitesFile ? readUploadSites(SettingsFile(*m_sitesFile)) : std::vector<UploadTarget>();
    std::vector<std::string> addresses;
    for (const UploadTarget& site : m_recentSites)
        addresses.push_back(uploadAddress(site));
    m_view.setRecentSites(addresses);
}

bool UploadForm::keepSite(std::string& problem)
{
    if (!m_sitesFile)
        return true;
    try {
        keepUploadSite(SettingsFile(*m_sitesFile), m_sending);
    } catch (const std::exception& error) {
        problem = std::string(error.what()) + ": the site is not offered again next time.";
        return false;
    }
    offerRecentSites();
    return true;
}

void UploadForm::recentSiteChosen(std::size_t index)
{
    if (index >= m_recentSites.size())
        return;
    m_view.setTarget(m_recentSites[index]);
    targetChanged();
}

} // namespace vidlume::form
