#include "ui/UploadDialog.h"

#include "ui/DialogParts.h"
#include "ui/ErrorReport.h"
#include "ui/LocalPaths.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace vidlume::ui {

namespace {

std::string utf8(const QString& shown)
{
    return shown.toUtf8().toStdString();
}

QLineEdit* field(const char* name, const char* accessible, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAccessibleName(QString::fromUtf8(accessible));
    return edit;
}

} // namespace

UploadDialog::UploadDialog(QWidget* parent, const std::string& folder)
    : QDialog(parent), m_form(*this, folder, form::UploadTarget())
{
    setObjectName("UploadDialog");
    setWindowTitle(QStringLiteral("Upload"));

    m_sites = new QComboBox(this);
    m_sites->setObjectName("cbb_sites");
    m_sites->setAccessibleName(QStringLiteral("Sites used before"));
    m_folder = field("edt_folder", "Folder to upload", this);
    auto* chooseFolder = dialogButton("btn_folder", "&Browse\u2026", "Choose the folder to upload", this);
    m_protocol = new QComboBox(this);
    m_protocol->setObjectName("cbb_protocol");
    m_protocol->setAccessibleName(QStringLiteral("Protocol"));
    m_protocol->addItems({QStringLiteral("SFTP (SSH)"), QStringLiteral("FTPS (FTP with TLS)"),
                          QStringLiteral("WebDAV (HTTPS)")});
    m_host = field("edt_host", "Server", this);
    m_port = new QSpinBox(this);
    m_port->setObjectName("spn_port");
    m_port->setAccessibleName(QStringLiteral("Port"));
    m_port->setRange(0, 65535);
    m_port->setSpecialValueText(QStringLiteral("default"));
    m_user = field("edt_user", "User name", this);
    m_remote = field("edt_remote", "Folder on the server", this);
    m_remote->setPlaceholderText(QStringLiteral("e.g. /var/www/clips; without a leading / inside your home folder"));
    m_public = field("edt_public", "Web address of that folder (optional)", this);
    m_public->setPlaceholderText(QStringLiteral("e.g. https://example.org/clips/"));
    m_auth = new QComboBox(this);
    m_auth->setObjectName("cbb_auth");
    m_auth->setAccessibleName(QStringLiteral("Log in with"));
    m_auth->addItems({QStringLiteral("Password"), QStringLiteral("SSH key"), QStringLiteral("SSH agent")});
    m_key = field("edt_key", "SSH key file", this);
    m_chooseKey = dialogButton("btn_key", "Br&owse\u2026", "Choose the SSH key file", this);
    m_secret = field("edt_secret", "Password", this);
    m_secret->setEchoMode(QLineEdit::Password);
    m_remember = new QCheckBox(QStringLiteral("R&emember the password in the desktop's keyring"), this);
    m_remember->setObjectName("chk_remember");
    m_status = new QLabel(this);
    m_status->setObjectName("lbl_status");
    m_status->setAccessibleName(QStringLiteral("Status"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_status->setFocusPolicy(Qt::TabFocus);
    m_status->setMinimumHeight(m_status->fontMetrics().height() * 3);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName("bar_progress");
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_bar->setRange(0, form::UploadForm::barSteps);
    m_bar->setTextVisible(false);
    m_file = new QLabel(this);
    m_file->setObjectName("lbl_file");
    m_file->setAccessibleName(QStringLiteral("File being sent"));
    m_progress = new QLabel(this);
    m_progress->setObjectName("lbl_progress");
    m_progress->setAccessibleName(QStringLiteral("Bytes, rate and time left"));
    auto* upload = dialogButton("btn_upload", "&Upload", "Upload the folder", this);
    auto* cancel = dialogButton("btn_cancel", "&Cancel", "Cancel the upload", this);
    auto* openPage = dialogButton("btn_openpage", "Open Published &Page", "Open the published page in the browser", this);
    auto* copyAddress = dialogButton("btn_copyaddress", "Cop&y Page Address", "Copy the published page's address", this);
    auto* close = dialogButton("btn_close", "C&lose", "Close", this);
    m_buttons[std::size_t(form::UploadButton::Upload)] = upload;
    m_buttons[std::size_t(form::UploadButton::Cancel)] = cancel;
    m_buttons[std::size_t(form::UploadButton::OpenPage)] = openPage;
    m_buttons[std::size_t(form::UploadButton::CopyAddress)] = copyAddress;

    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(labelFor("Sites use&d before:", m_sites, this), row, 0);
    grid->addWidget(m_sites, row++, 1, 1, 3);
    grid->addWidget(labelFor("&Folder:", m_folder, this), row, 0);
    grid->addWidget(m_folder, row, 1, 1, 3);
    grid->addWidget(chooseFolder, row++, 4);
    grid->addWidget(labelFor("P&rotocol:", m_protocol, this), row, 0);
    grid->addWidget(m_protocol, row++, 1, 1, 3);
    grid->addWidget(labelFor("&Server:", m_host, this), row, 0);
    grid->addWidget(m_host, row, 1);
    grid->addWidget(labelFor("Por&t:", m_port, this), row, 2);
    grid->addWidget(m_port, row++, 3);
    grid->addWidget(labelFor("U&ser name:", m_user, this), row, 0);
    grid->addWidget(m_user, row++, 1, 1, 3);
    grid->addWidget(labelFor("Folder on the ser&ver:", m_remote, this), row, 0);
    grid->addWidget(m_remote, row++, 1, 1, 3);
    grid->addWidget(labelFor("&Web address:", m_public, this), row, 0);
    grid->addWidget(m_public, row++, 1, 1, 3);
    grid->addWidget(labelFor("Log &in with:", m_auth, this), row, 0);
    grid->addWidget(m_auth, row++, 1, 1, 3);
    grid->addWidget(labelFor("SSH &key:", m_key, this), row, 0);
    grid->addWidget(m_key, row, 1, 1, 3);
    grid->addWidget(m_chooseKey, row++, 4);
    m_secretLabel = labelFor("P&assword:", m_secret, this);
    grid->addWidget(m_secretLabel, row, 0);
    grid->addWidget(m_secret, row++, 1, 1, 3);
    grid->addWidget(m_remember, row++, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    layout->addWidget(m_status);
    layout->addWidget(m_bar);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_file, 1);
    progressRow->addWidget(m_progress);
    layout->addLayout(progressRow);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(upload);
    buttons->addWidget(cancel);
    buttons->addStretch();
    buttons->addWidget(openPage);
    buttons->addWidget(copyAddress);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    const auto run = [this](auto step) {
        return [this, step] { runReportingErrors(this, [this, step] { (m_form.*step)(); }); };
    };
    connect(chooseFolder, &QPushButton::clicked, this, run(&form::UploadForm::chooseFolderClick));
    connect(upload, &QPushButton::clicked, this, run(&form::UploadForm::uploadClick));
    connect(cancel, &QPushButton::clicked, this, run(&form::UploadForm::cancelClick));
    connect(openPage, &QPushButton::clicked, this, run(&form::UploadForm::openPageClick));
    connect(copyAddress, &QPushButton::clicked, this, run(&form::UploadForm::copyAddressClick));
    connect(close, &QPushButton::clicked, this, &UploadDialog::reject);
    connect(m_chooseKey, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("SSH Key"),
                                                          QDir::homePath() + QStringLiteral("/.ssh"));
        if (!file.isEmpty())
            m_key->setText(file);
    });
    for (QLineEdit* edit : {m_folder, m_host})
        connect(edit, &QLineEdit::textChanged, this, [this] { m_form.targetChanged(); });
    for (QComboBox* box : {m_protocol, m_auth})
        connect(box, &QComboBox::currentIndexChanged, this, [this] { showAuthentication(); });

    connect(m_sites, &QComboBox::activated, this, [this](int index) {
        if (index > 0)
            m_form.recentSiteChosen(std::size_t(index - 1));
    });

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &UploadDialog::tick);
    m_timer->start(100);

    resize(600, 0);
    m_form.show();
    showAuthentication();
}

UploadDialog::~UploadDialog() = default;

void UploadDialog::showAuthentication()
{
    const bool ssh = m_protocol->currentIndex() == 0;
    if (!ssh)
        m_auth->setCurrentIndex(0); // FTPS and WebDAV log in with a password
    m_auth->setEnabled(ssh);
    const auto auth = form::UploadAuth(m_auth->currentIndex());
    m_key->setEnabled(auth == form::UploadAuth::KeyFile);
    m_chooseKey->setEnabled(auth == form::UploadAuth::KeyFile);
    m_secret->setEnabled(auth != form::UploadAuth::Agent);
    m_remember->setEnabled(auth != form::UploadAuth::Agent);
    if (auth == form::UploadAuth::Agent)
        m_remember->setChecked(false);
    m_remember->setText(auth == form::UploadAuth::KeyFile
                            ? QStringLiteral("R&emember the passphrase in the desktop's keyring")
                            : QStringLiteral("R&emember the password in the desktop's keyring"));
    m_secretLabel->setText(auth == form::UploadAuth::KeyFile ? QStringLiteral("P&assphrase:")
                                                             : QStringLiteral("P&assword:"));
    m_secret->setAccessibleName(auth == form::UploadAuth::KeyFile ? QStringLiteral("Passphrase of the SSH key")
                                                                  : QStringLiteral("Password"));
}

void UploadDialog::tick()
{
    m_form.poll();
    if (m_closeWhenStopped && m_form.phase() != form::UploadPhase::Sending)
        QDialog::reject();
}

void UploadDialog::reject()
{
    if (m_form.phase() == form::UploadPhase::Sending) {
        m_form.cancelClick();
        m_closeWhenStopped = true;
        return;
    }
    QDialog::reject();
}

std::string UploadDialog::folder() const
{
    return localPathOf(m_folder->text());
}

void UploadDialog::setFolder(const std::string& folder)
{
    m_folder->setText(exactPathText(folder));
}

form::UploadTarget UploadDialog::target() const
{
    form::UploadTarget target;
    target.protocol = form::UploadProtocol(m_protocol->currentIndex());
    target.host = utf8(m_host->text());
    target.port = m_port->value();
    target.user = utf8(m_user->text());
    target.remoteFolder = utf8(m_remote->text());
    target.publicUrl = utf8(m_public->text());
    target.auth = form::UploadAuth(m_auth->currentIndex());
    target.keyFile = localPathOf(m_key->text());
    return target;
}

bool UploadDialog::rememberSecret() const
{
    return m_remember->isChecked();
}

std::string UploadDialog::secret() const
{
    return m_secret->isEnabled() ? utf8(m_secret->text()) : std::string();
}

void UploadDialog::setTarget(const form::UploadTarget& target)
{
    m_protocol->setCurrentIndex(int(target.protocol));
    m_host->setText(textOf(target.host));
    m_port->setValue(target.port);
    m_user->setText(textOf(target.user));
    m_remote->setText(textOf(target.remoteFolder));
    m_public->setText(textOf(target.publicUrl));
    m_auth->setCurrentIndex(int(target.auth));
    m_key->setText(exactPathText(target.keyFile));
}

void UploadDialog::enableButton(form::UploadButton which, bool enabled)
{
    QPushButton* widget = m_buttons[std::size_t(which)];
    if (!enabled && widget->hasFocus())
        focusNextChild();
    widget->setEnabled(enabled);
}

void UploadDialog::setStatus(const std::string& status)
{
    m_status->setText(textOf(status));
}

void UploadDialog::setProgress(int barPosition, const std::string& file, const std::string& progress)
{
    m_bar->setValue(barPosition);
    m_file->setText(exactPathText(file));
    m_progress->setText(textOf(progress));
}

bool UploadDialog::confirmHostKey(const std::string& question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Unknown Server"), textOf(question),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName("box_hostkey");
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Trust and Upload"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Stop"));
    box.setDefaultButton(QMessageBox::No);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    return box.exec() == QMessageBox::Yes;
}

void UploadDialog::copyToClipboard(const std::string& address)
{
    QApplication::clipboard()->setText(textOf(address));
}

void UploadDialog::setRecentSites(const std::vector<std::string>& addresses)
{
    // The first entry stands for the fields as they are; picking another fills them in.
    const QSignalBlocker quiet(m_sites);
    m_sites->clear();
    m_sites->addItem(addresses.empty() ? QStringLiteral("(none yet)") : QStringLiteral("Choose a site…"));
    for (const std::string& address : addresses)
        m_sites->addItem(QString::fromStdString(address));
    m_sites->setEnabled(!addresses.empty());
}

std::optional<std::string> UploadDialog::chooseFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Folder to Upload"), m_folder->text());
    if (folder.isEmpty())
        return std::nullopt;
    return localPathOf(folder);
}

} // namespace vidlume::ui
