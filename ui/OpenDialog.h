#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <optional>
#include <string>
#include <utility>

class QWidget;

namespace vidlume::ui {

/// The main window's file-open dialog: the platform's own where it has one (a
/// desktop portal, GTK, KDE), else FileOpenWindow, which unlike Qt's own dialog
/// lists names that are not valid UTF-8, and again where the platform's dialog
/// hands back text in which such names look alike; one existing file. Each run shows a
/// fresh dialog, so no run pre-fills another's file name. Like the classic open
/// dialog it keeps the position of the filter entry that was selected when it was
/// last confirmed, and opens with the entry at that position selected whatever
/// filter list it shows next (the first entry when the list is shorter); it also
/// opens in the folder of the file confirmed last (the home folder at first).
class OpenDialog : public QObject
{
    Q_OBJECT

public:
    explicit OpenDialog(QWidget* owner);

    /// The filter entries in Qt's syntax, e.g. "FLV files (*.flv)".
    void setFilters(const QStringList& filters);
    void clearFileName();

    /// Runs the dialog modally; true when the user confirmed a file. A cancelled
    /// run leaves the file name empty and the filter position as it was.
    bool execute();

    /// The confirmed file's full path as the file system's bytes.
    const std::string& fileName() const { return m_fileName; }

    /// Test hooks: the next execute() shows nothing and answers as told: with a
    /// path, or with the file URL that a dialog hands back (read as a dialog's
    /// is: where it names no single file, our window shows).
    void setNextAnswer(const QString& fileName, int filterIndex = 0);
    void setNextAnswerUrl(const QUrl& url, int filterIndex = 0);
    void setNextAnswerCancel();
    /// The filter entry that the last execute() opened with.
    int openedFilterIndex() const { return m_openedFilterIndex; }

private:
    struct Answer
    {
        std::string fileName; // empty: cancelled
        int filterIndex = 0;
    };

    Answer runDialog();
    /// What a dialog's answer names: a file, or, where the answer's text lost
    /// the bytes that told look-alike names apart, the file picked in our window.
    Answer answerOf(const QList<QUrl>& urls, int filterIndex);
    /// Our own window, for where the platform has no file dialog, opened with
    /// the filter entry at filterIndex selected.
    Answer runOwnWindow(int filterIndex);

    QWidget* m_owner;
    QStringList m_filters;
    std::string m_fileName;
    std::string m_folder; // where the last confirmed file lies
    int m_filterIndex = 0;
    int m_openedFilterIndex = 0;
    std::optional<Answer> m_nextAnswer;
    std::optional<std::pair<QUrl, int>> m_nextAnswerUrl;
};

} // namespace vidlume::ui
