#include "ui/SiteDialog.h"

#include "ui/DialogParts.h"
#include "ui/ErrorReport.h"
#include "ui/LocalPaths.h"
#include "ui/UploadDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vidlume::ui {

namespace {

std::vector<std::string> droppedPaths(const QMimeData& data)
{
    std::vector<std::string> paths;
    for (const QUrl& url : data.urls())
        if (const auto path = localPathOfUrl(url))
            paths.push_back(*path);
    return paths;
}

} // namespace

SiteDialog::SiteDialog(QWidget* parent, const PageInputs& options, const std::vector<std::string>& sources)
    : QDialog(parent), m_form(*this, options, sources)
{
    setObjectName("SiteDialog");
    setWindowTitle(QStringLiteral("Publish Many Videos"));
    setAcceptDrops(true);

    m_sources = new QListWidget(this);
    m_sources->setObjectName("lst_sources");
    m_sources->setAccessibleName(QStringLiteral("Sources"));
    m_sources->setAccessibleDescription(QStringLiteral("The folders and FLV files to publish; drop more here"));
    m_sources->setMinimumHeight(m_sources->fontMetrics().height() * 3);
    m_sources->setMaximumHeight(m_sources->fontMetrics().height() * 6);
    auto* addFolder = dialogButton("btn_addfolder", "Add &Folder\u2026", "Add a folder of videos", this);
    auto* addFiles = dialogButton("btn_addfiles", "Add F&iles\u2026", "Add FLV files", this);
    auto* remove = dialogButton("btn_remove", "&Remove", "Remove the selected source", this);
    m_site = new QLineEdit(this);
    m_site->setObjectName("edt_site");
    m_site->setAccessibleName(QStringLiteral("Site folder"));
    auto* chooseSite = dialogButton("btn_site", "&Browse\u2026", "Choose the site folder", this);
    auto* optionsNote = new QLabel(textOf(form::SiteForm::optionsNote()), this);
    optionsNote->setObjectName("lbl_options");
    optionsNote->setWordWrap(true);
    m_jobs = new QSpinBox(this);
    m_jobs->setObjectName("spn_jobs");
    m_jobs->setAccessibleName(QStringLiteral("Videos converted at a time"));
    m_jobs->setRange(1, 256);
    m_summary = new QLabel(this);
    m_summary->setObjectName("lbl_summary");
    m_summary->setAccessibleName(QStringLiteral("Summary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_summary->setFocusPolicy(Qt::TabFocus);
    m_videos = new QTreeWidget(this);
    m_videos->setObjectName("lst_videos");
    m_videos->setAccessibleName(QStringLiteral("Videos"));
    m_videos->setRootIsDecorated(false);
    m_videos->setHeaderLabels({QStringLiteral("Video"), QStringLiteral("State")});
    // The names whole; a long reason ends in "..." here, whole in its tooltip and below.
    m_videos->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_videos->header()->setStretchLastSection(true);
    m_videos->setMinimumHeight(120);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName("bar_progress");
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_bar->setRange(0, form::SiteForm::barSteps);
    m_bar->setTextVisible(false);
    m_progress = new QLabel(this);
    m_progress->setObjectName("lbl_progress");
    m_progress->setAccessibleName(QStringLiteral("Time left"));
    m_leftOut = new QPlainTextEdit(this);
    m_leftOut->setObjectName("edt_leftout");
    m_leftOut->setAccessibleName(QStringLiteral("Videos left out"));
    m_leftOut->setReadOnly(true);
    m_leftOut->setTabChangesFocus(true);
    m_leftOut->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_leftOut->setMinimumHeight(60);
    m_leftOut->setMaximumHeight(110);
    m_copy = dialogButton("btn_copy", "Cop&y", "Copy the videos left out", this);
    auto* start = dialogButton("btn_start", "&Publish", "Publish the videos", this);
    auto* cancel = dialogButton("btn_cancel", "&Cancel", "Cancel the publishing", this);
    auto* gallery = dialogButton("btn_gallery", "Open &Gallery in Browser", "Open the gallery in the browser", this);
    auto* siteFolder = dialogButton("btn_sitefolder", "Open &Site Folder", "Open the site folder", this);
    m_upload = dialogButton("btn_uploadsite", "&Upload\u2026", "Upload the site to your web server", this);
    m_close = dialogButton("btn_close", "C&lose", "Close", this);

    m_controls[std::size_t(form::SiteControl::AddFolder)] = addFolder;
    m_controls[std::size_t(form::SiteControl::AddFiles)] = addFiles;
    m_controls[std::size_t(form::SiteControl::RemoveSource)] = remove;
    m_controls[std::size_t(form::SiteControl::ChooseSite)] = chooseSite;
    m_controls[std::size_t(form::SiteControl::Jobs)] = m_jobs;
    m_controls[std::size_t(form::SiteControl::Start)] = start;
    m_controls[std::size_t(form::SiteControl::Cancel)] = cancel;
    m_controls[std::size_t(form::SiteControl::OpenGallery)] = gallery;
    m_controls[std::size_t(form::SiteControl::OpenSiteFolder)] = siteFolder;

    // Laid out by Qt, so that no caption is cut off in any font or language.
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->addWidget(labelFor("S&ources:", m_sources, this), 0, 0, Qt::AlignTop);
    grid->addWidget(m_sources, 0, 1);
    auto* sourceButtons = new QVBoxLayout;
    sourceButtons->addWidget(addFolder);
    sourceButtons->addWidget(addFiles);
    sourceButtons->addWidget(remove);
    sourceButtons->addStretch();
    grid->addLayout(sourceButtons, 0, 2);
    grid->addWidget(labelFor("Si&te folder:", m_site, this), 1, 0);
    grid->addWidget(m_site, 1, 1);
    grid->addWidget(chooseSite, 1, 2);
    grid->addWidget(labelFor("&Jobs at a time:", m_jobs, this), 2, 0);
    auto* jobsRow = new QHBoxLayout;
    jobsRow->addWidget(m_jobs);
    jobsRow->addStretch();
    grid->addLayout(jobsRow, 2, 1);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    layout->addWidget(optionsNote);
    layout->addWidget(m_summary);
    layout->addWidget(labelFor("&Videos:", m_videos, this));
    layout->addWidget(m_videos, 1);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_bar, 1);
    progressRow->addWidget(m_progress);
    layout->addLayout(progressRow);
    layout->addWidget(labelFor("L&eft out:", m_leftOut, this));
    auto* leftOutRow = new QHBoxLayout;
    leftOutRow->addWidget(m_leftOut, 1);
    leftOutRow->addWidget(m_copy, 0, Qt::AlignTop);
    layout->addLayout(leftOutRow);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start);
    buttons->addWidget(cancel);
    buttons->addStretch();
    buttons->addWidget(gallery);
    buttons->addWidget(siteFolder);
    buttons->addWidget(m_upload);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);

    const auto run = [this](auto step) {
        return [this, step] { runReportingErrors(this, [this, step] { (m_form.*step)(); }); };
    };
    connect(addFolder, &QPushButton::clicked, this, run(&form::SiteForm::addFolderClick));
    connect(addFiles, &QPushButton::clicked, this, run(&form::SiteForm::addFilesClick));
    connect(chooseSite, &QPushButton::clicked, this, run(&form::SiteForm::chooseSiteClick));
    connect(start, &QPushButton::clicked, this, run(&form::SiteForm::startClick));
    connect(cancel, &QPushButton::clicked, this, run(&form::SiteForm::cancelClick));
    connect(gallery, &QPushButton::clicked, this, run(&form::SiteForm::openGalleryClick));
    connect(siteFolder, &QPushButton::clicked, this, run(&form::SiteForm::openSiteFolderClick));
    connect(remove, &QPushButton::clicked, this, [this] {
        if (const int row = m_sources->currentRow(); row >= 0)
            m_form.removeSource(std::size_t(row));
    });
    connect(m_site, &QLineEdit::editingFinished, this, [this] { m_form.setSiteFolder(localPathOf(m_site->text())); });
    connect(m_jobs, &QSpinBox::valueChanged, this, [this](int value) { m_form.setJobs(unsigned(value)); });
    connect(m_copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(m_leftOut->toPlainText()); });
    connect(m_close, &QPushButton::clicked, this, &SiteDialog::reject);
    connect(m_upload, &QPushButton::clicked, this, [this] {
        UploadDialog upload(this, m_form.siteFolder());
        upload.exec();
    });

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &SiteDialog::tick);
    m_timer->start(100);

    resize(640, 560);
    m_form.show();
    m_copy->setEnabled(false);
}

SiteDialog::~SiteDialog() = default;

void SiteDialog::tick()
{
    m_form.poll();
    if (m_closeWhenStopped && m_form.phase() != form::SitePhase::Running)
        QDialog::reject();
}

void SiteDialog::reject()
{
    if (m_form.phase() == form::SitePhase::Running) {
        m_form.cancelClick();
        m_closeWhenStopped = true;
        return;
    }
    QDialog::reject();
}

void SiteDialog::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_form.phase() != form::SitePhase::Running && !droppedPaths(*event->mimeData()).empty())
        event->acceptProposedAction();
}

void SiteDialog::dropEvent(QDropEvent* event)
{
    const std::vector<std::string> paths = droppedPaths(*event->mimeData());
    if (paths.empty())
        return;
    event->acceptProposedAction();
    m_form.addSources(paths);
}

void SiteDialog::setSources(const std::vector<std::string>& sources)
{
    m_sources->clear();
    for (const std::string& source : sources)
        m_sources->addItem(exactPathText(source));
    if (!sources.empty())
        m_sources->setCurrentRow(int(sources.size()) - 1);
}

void SiteDialog::setSiteFolder(const std::string& folder)
{
    if (localPathOf(m_site->text()) != folder)
        m_site->setText(exactPathText(folder));
}

void SiteDialog::setSummary(const std::string& summary)
{
    m_summary->setText(textOf(summary));
}

void SiteDialog::setRows(const std::vector<form::SiteRow>& rows)
{
    m_videos->clear();
    for (const form::SiteRow& row : rows)
        m_videos->addTopLevelItem(new QTreeWidgetItem({exactPathText(row.name), textOf(row.state)}));
    for (int row = 0; row < m_videos->topLevelItemCount(); ++row)
        m_videos->topLevelItem(row)->setToolTip(1, m_videos->topLevelItem(row)->text(1));
}

void SiteDialog::setRow(std::size_t row, const form::SiteRow& value)
{
    if (QTreeWidgetItem* item = m_videos->topLevelItem(int(row))) {
        item->setText(0, exactPathText(value.name));
        item->setText(1, textOf(value.state));
        item->setToolTip(1, item->text(1));
    }
}

void SiteDialog::setProgress(int barPosition, const std::string& progress)
{
    m_bar->setValue(barPosition);
    m_progress->setText(textOf(progress));
}

void SiteDialog::setLeftOut(const std::string& leftOut)
{
    m_leftOut->setPlainText(textOf(leftOut));
    m_copy->setEnabled(!leftOut.empty());
}

void SiteDialog::enableControl(form::SiteControl control, bool enabled)
{
    QWidget* widget = m_controls[std::size_t(control)];
    // A button that goes grey under the keyboard's focus hands it on, so that
    // the keys still reach the dialog (Publish to Cancel, Cancel to the list).
    if (!enabled && widget->hasFocus())
        focusNextChild();
    widget->setEnabled(enabled);
    if (control == form::SiteControl::ChooseSite)
        m_site->setEnabled(enabled);
    if (control == form::SiteControl::OpenSiteFolder)
        m_upload->setEnabled(enabled); // a site is there to send
}

void SiteDialog::setJobs(unsigned jobs)
{
    m_jobs->setValue(int(jobs));
}

std::optional<std::string> SiteDialog::chooseFolder(const std::string& title)
{
    const QString folder = QFileDialog::getExistingDirectory(this, textOf(title));
    if (folder.isEmpty())
        return std::nullopt;
    return localPathOf(folder);
}

std::vector<std::string> SiteDialog::chooseVideoFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, QStringLiteral("Add FLV Files"), QString(),
                                                            QStringLiteral("Flash Video (*.flv *.FLV)"));
    std::vector<std::string> paths;
    for (const QString& file : files)
        paths.push_back(localPathOf(file));
    return paths;
}

} // namespace vidlume::ui
