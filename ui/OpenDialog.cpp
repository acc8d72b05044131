#include "ui/OpenDialog.h"

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "ui/FileOpenWindow.h"
#include "ui/LocalPaths.h"

#include <QFile>
#include <QFileDialog>
#include <QUrl>

namespace vidlume::ui {

namespace {

/// The chosen file of a dialog's answer as bytes: the URL percent-decoded (a
/// desktop portal hands a name that is not valid UTF-8 over that way), else the
/// entry shown under that text (Qt's own and the GTK dialog hand back text, in
/// which such a name has lost its bytes). Empty when it names no file.
std::string chosenFile(const QList<QUrl>& urls)
{
    if (urls.size() != 1)
        return {};
    const std::optional<std::string> path = localPathOfUrl(urls.front());
    if (!path)
        return {};
    if (platform::fileExists(*path))
        return *path;
    const std::optional<std::string> shown = existingPathShownAs(*path);
    return shown && platform::fileExists(*shown) ? *shown : std::string();
}

/// The platform's file dialog. Where the platform has none, Qt would show its
/// own, which leaves out every name that is not valid UTF-8 (QDir skips them):
/// such a dialog is closed as it opens, and ownDialog tells the caller so.
class FileDialog : public QFileDialog
{
public:
    explicit FileDialog(QWidget* owner) : QFileDialog(owner)
    {
        // Qt's own dialog never shows: it is closed as soon as it opens.
        setWindowOpacity(0);
    }

    std::string chosen;
    bool ownDialog = false;

protected:
    void showEvent(QShowEvent* event) override
    {
        QFileDialog::showEvent(event);
        // A platform's dialog (GTK, a desktop portal) is a window of its own; this
        // widget still gets its show event, but is kept off the screen.
        if (testAttribute(Qt::WA_DontShowOnScreen))
            return;
        ownDialog = true;
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
    }

public:
    void accept() override
    {
        const QList<QUrl> urls = selectedUrls();
        chosen = chosenFile(urls);
        const bool plain = urls.size() == 1 && QFile::encodeName(urls.front().toLocalFile()).toStdString() == chosen;
        if (chosen.empty() || plain) {
            QFileDialog::accept(); // a folder is entered, a missing file reported, as usual
            return;
        }
        QDialog::accept();
    }
};

/// Whether a dialog's answer is text in which bytes that are not valid UTF-8
/// were replaced (U+FFFD), so the path it names may not be the one picked.
bool lostBytes(const QList<QUrl>& urls)
{
    const std::optional<std::string> path = urls.size() == 1 ? localPathOfUrl(urls.front()) : std::nullopt;
    return path && path->find("\xEF\xBF\xBD") != std::string::npos;
}

/// The folder to show when a dialog's text names more than one file: the
/// deepest folder that holds every file it may name.
std::string folderShownAs(const QList<QUrl>& urls, const std::string& otherwise)
{
    const std::optional<std::string> path = urls.size() == 1 ? localPathOfUrl(urls.front()) : std::nullopt;
    if (!path)
        return otherwise;
    std::vector<std::string> candidates = existingPathsShownAs(*path, 64);
    std::string folder;
    for (std::string& candidate : candidates) {
        candidate = candidate.substr(0, std::max<std::size_t>(1, candidate.rfind('/')));
        while (!folder.empty() && candidate != folder && !candidate.starts_with(folder == "/" ? folder : folder + "/"))
            folder = folder.substr(0, std::max<std::size_t>(1, folder.rfind('/')));
        if (folder.empty())
            folder = candidate;
    }
    return folder.empty() ? otherwise : folder;
}

} // namespace

OpenDialog::OpenDialog(QWidget* owner) : QObject(owner), m_owner(owner) {}

void OpenDialog::setFilters(const QStringList& filters)
{
    m_filters = filters;
}

void OpenDialog::clearFileName()
{
    m_fileName.clear();
}

bool OpenDialog::execute()
{
    m_openedFilterIndex = m_filterIndex < m_filters.size() ? m_filterIndex : 0;
    Answer answer;
    if (m_nextAnswer) {
        answer = *m_nextAnswer;
        m_nextAnswer.reset();
    } else if (m_nextAnswerUrl) {
        const auto [url, filterIndex] = *m_nextAnswerUrl;
        m_nextAnswerUrl.reset();
        answer = answerOf({url}, filterIndex);
    } else {
        answer = runDialog();
    }
    m_fileName = answer.fileName;
    if (m_fileName.empty())
        return false;
    m_filterIndex = answer.filterIndex;
    return true;
}

OpenDialog::Answer OpenDialog::runDialog()
{
    // A fresh dialog each time, so nothing typed or picked in one browse reaches the next.
    FileDialog dialog(m_owner);
    dialog.setObjectName("fileOpenDialog");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(m_filters);
    if (!m_filters.isEmpty())
        dialog.selectNameFilter(m_filters[m_openedFilterIndex]);
    dialog.setDirectoryUrl(urlOfLocalPath(m_folder.empty() ? platform::userProfileFolder() : m_folder));
    if (dialog.exec() != QDialog::Accepted)
        return dialog.ownDialog ? runOwnWindow(m_openedFilterIndex) : Answer{};
    return answerOf(dialog.selectedUrls(), std::max(0, static_cast<int>(m_filters.indexOf(dialog.selectedNameFilter()))));
}

OpenDialog::Answer OpenDialog::answerOf(const QList<QUrl>& urls, int filterIndex)
{
    const std::string chosen = chosenFile(urls);
    if (chosen.empty()) {
        // The dialog handed back text in which names that are not valid UTF-8
        // look alike (GTK shows each such byte as U+FFFD): which file was picked
        // is lost, so our window lists that folder again with the names' bytes.
        if (!lostBytes(urls))
            return {};
        m_folder = folderShownAs(urls, m_folder);
        return runOwnWindow(filterIndex);
    }
    m_folder = chosen.substr(0, std::max<std::size_t>(1, chosen.rfind('/')));
    return {chosen, filterIndex};
}

OpenDialog::Answer OpenDialog::runOwnWindow(int filterIndex)
{
    FileOpenWindow window(m_owner, m_filters, filterIndex < m_filters.size() ? filterIndex : 0,
                          m_folder.empty() ? platform::userProfileFolder() : m_folder);
    if (window.exec() != QDialog::Accepted)
        return {};
    m_folder = window.folder();
    return {window.chosenFile(), window.filterIndex()};
}

void OpenDialog::setNextAnswer(const QString& fileName, int filterIndex)
{
    m_nextAnswerUrl.reset();
    m_nextAnswer = Answer{QFile::encodeName(fileName).toStdString(), filterIndex};
}

void OpenDialog::setNextAnswerUrl(const QUrl& url, int filterIndex)
{
    m_nextAnswer.reset();
    m_nextAnswerUrl = std::pair(url, filterIndex);
}

void OpenDialog::setNextAnswerCancel()
{
    m_nextAnswerUrl.reset();
    m_nextAnswer = Answer{};
}

} // namespace vidlume::ui
