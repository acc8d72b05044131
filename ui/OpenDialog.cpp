#include "ui/OpenDialog.h"

#include <QFileDialog>

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
    if (m_fileName.isEmpty())
        return false;
    m_filterIndex = answer.filterIndex;
    return true;
}

OpenDialog::Answer OpenDialog::runDialog()
{
    if (!m_dialog) {
        m_dialog = new QFileDialog(m_owner);
        m_dialog->setAcceptMode(QFileDialog::AcceptOpen);
        m_dialog->setFileMode(QFileDialog::ExistingFile);
    }
    m_dialog->setNameFilters(m_filters);
    if (!m_filters.isEmpty())
        m_dialog->selectNameFilter(m_filters.at(m_openedFilterIndex));
    m_dialog->selectFile(m_fileName);
    if (m_dialog->exec() != QDialog::Accepted || m_dialog->selectedFiles().isEmpty())
        return {};
    return {m_dialog->selectedFiles().constFirst(),
            std::max(0, static_cast<int>(m_filters.indexOf(m_dialog->selectedNameFilter())))};
}

void OpenDialog::setNextAnswer(const QString& fileName, int filterIndex)
{
    m_nextAnswer = Answer{fileName, filterIndex};
}

void OpenDialog::setNextAnswerCancel()
{
    m_nextAnswer = Answer{};
}

} // namespace vidlume::ui
