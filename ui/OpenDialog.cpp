#include "ui/OpenDialog.h"

#include "platform/Environment.h"
#include "ui/FileOpenWindow.h"

#include <QFile>

namespace vidlume::ui {

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
    // A fresh window each time, so nothing typed or picked in one browse reaches the next.
    FileOpenWindow window(m_owner, m_filters, m_openedFilterIndex,
                          m_folder.empty() ? platform::userProfileFolder() : m_folder);
    if (window.exec() != QDialog::Accepted)
        return {};
    m_folder = window.folder();
    return {window.chosenFile(), window.filterIndex()};
}

void OpenDialog::setNextAnswer(const QString& fileName, int filterIndex)
{
    m_nextAnswer = Answer{QFile::encodeName(fileName).toStdString(), filterIndex};
}

void OpenDialog::setNextAnswerCancel()
{
    m_nextAnswer = Answer{};
}

} // namespace vidlume::ui
