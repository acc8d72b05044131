#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vidlume::platform {
class Launcher;
}

namespace vidlume::form {

enum class UploadProtocol
{
    Sftp,
    Ftps,
    WebDav,
};

enum class UploadAuth
{
    Password, ///< typed into the dialog
    KeyFile,  ///< an SSH key; the typed text is its passphrase
    Agent,    ///< the SSH agent's keys
};

/// Where the "Upload" dialog sends a folder: what the user fills in, without
/// any secret (this is what a list of the sites used before may keep).
struct UploadTarget
{
    UploadProtocol protocol = UploadProtocol::Sftp;
    std::string host;
    int port = 0; ///< 0: the protocol's own
    std::string user;
    std::string remoteFolder; ///< on the server, e.g. /var/www/clips
    std::string publicUrl;    ///< the web address of that folder, optional
    UploadAuth auth = UploadAuth::Password;
    std::string keyFile;

    bool operator==(const UploadTarget&) const = default;
};

/// "sftp://user@host:2222/var/www/clips": the target as a URL to show and
/// to reach the site under when no public address is given.
std::string uploadAddress(const UploadTarget& target);

/// The dialog's buttons whose enabling the rules decide.
enum class UploadButton
{
    Upload,
    Cancel,
    OpenPage,
    CopyAddress,
};

enum class UploadPhase
{
    Filling,  ///< the target is being filled in
    Sending,  ///< the worker connects and sends
    Finished, ///< done, failed or cancelled
};

/// What the upload dialog's rules need of a window. Called on the window's thread only.
class UploadFormView
{
public:
    virtual ~UploadFormView() = default;
    /// The local folder to send, as the file system's bytes.
    virtual std::string folder() const = 0;
    virtual void setFolder(const std::string& folder) = 0;
    virtual UploadTarget target() const = 0;
    /// The password or the key's passphrase as typed; empty when none.
    virtual std::string secret() const = 0;
    /// "Remember the password": kept in the desktop's keyring after a login with it.
    virtual bool rememberSecret() const = 0;
    virtual void setTarget(const UploadTarget& target) = 0;
    virtual void enableButton(UploadButton button, bool enabled) = 0;
    /// The line that says what happens or happened.
    virtual void setStatus(const std::string& text) = 0;
    /// The bar (0 to barSteps), the file being sent, and bytes, rate and time left.
    virtual void setProgress(int barPosition, const std::string& file, const std::string& text) = 0;
    /// Asks whether to trust a server's host key that is not known yet; the
    /// text shows its fingerprint. True: trust it and go on.
    virtual bool confirmHostKey(const std::string& text) = 0;
    virtual void copyToClipboard(const std::string& text) = 0;
    /// A folder chooser that ends without a choice gives nothing.
    virtual std::optional<std::string> chooseFolder() = 0;
    /// The sites used before, newest first, named by their addresses
    /// (uploadAddress), for the user to pick one again; may be empty.
    virtual void setRecentSites(const std::vector<std::string>& addresses) = 0;
};

/// The "Upload" dialog's rules, without a toolkit: one local folder (a
/// published video's or a site's) onto the user's server, through the upload
/// library, on a worker thread that poll() reports from.
class UploadForm
{
public:
    static constexpr int barSteps = 1000;

    UploadForm(UploadFormView& view, std::string folder, UploadTarget target);
    ~UploadForm();
    UploadForm(const UploadForm&) = delete;
    UploadForm& operator=(const UploadForm&) = delete;

    void setLauncher(platform::Launcher* launcher) { m_launcher = launcher; }
    /// The known-hosts file for SFTP; the user's (~/.ssh/known_hosts) by default.
    void setKnownHostsFile(std::string file) { m_knownHosts = std::move(file); }
    /// A CA to trust besides the system's, for FTPS and WebDAV.
    void setCaFile(std::string file) { m_caFile = std::move(file); }

    /// The settings file that keeps the sites used before; by default the
    /// program's own (none before it is known). Set before show().
    void setSitesFile(std::string fileName) { m_sitesFile = std::move(fileName); }

    void show();
    /// The user picked the site at index of the list given to setRecentSites:
    /// its fields are filled in (the secret is left to the user or the keyring).
    void recentSiteChosen(std::size_t index);
    /// The fields changed: Upload is offered when a folder and a host are given.
    void targetChanged();
    void chooseFolderClick();
    void uploadClick();
    /// Stops the upload: the pages on the server stay as they were.
    void cancelClick();
    void openPageClick();
    void copyAddressClick();

    /// Shows what the worker did since the last call. True while it works.
    bool poll();

    UploadPhase phase() const { return m_phase; }
    /// The published page's web address, once an upload has finished.
    const std::string& pageAddress() const { return m_pageAddress; }

private:
    struct Shared
    {
        std::string file;
        std::uint64_t done = 0, total = 0;
        std::uint64_t fileDone = 0, fileSize = 0;
        bool reading = false;
        std::optional<std::string> failure;
        std::optional<std::pair<std::string, std::string>> unknownKey; // (question, fingerprint)
        std::optional<std::string> finished;                           // the summary
        std::string address;                                           // the page's web address, when known
        bool cancelled = false;
        bool workerDone = false;
    };

    void start(const std::string& acceptFingerprint);
    void stopWorker();
    void offerRecentSites();
    /// Keeps the site just uploaded to first in the list; false with the reason in problem.
    bool keepSite(std::string& problem);
    void enableButtons();
    void work(std::string folder, UploadTarget target, std::string secret, bool remember,
              std::string acceptFingerprint);
    bool canStart() const;

    UploadFormView& m_view;
    std::string m_folder;
    UploadTarget m_initial;
    std::string m_knownHosts;
    std::string m_caFile;
    platform::Launcher* m_launcher = nullptr;
    std::optional<std::string> m_sitesFile;
    std::vector<UploadTarget> m_recentSites;
    UploadTarget m_sending; // the target of the upload under way or last finished
    UploadPhase m_phase = UploadPhase::Filling;
    std::string m_pageAddress;
    std::chrono::steady_clock::time_point m_started;

    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::mutex m_mutex;
    Shared m_shared; // under m_mutex
};

} // namespace vidlume::form
