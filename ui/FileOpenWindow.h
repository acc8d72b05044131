#pragma once

#include <QDialog>
#include <QStringList>

#include <string>

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace vidlume::ui {

/// A modal window for choosing one existing file. It lists a folder's subfolders
/// and the files that match the selected filter entry from the file system's own
/// bytes, so a name that is not valid UTF-8 is listed and chosen like any other.
/// Each browse makes a fresh one: nothing typed or picked in one reaches the next.
class FileOpenWindow : public QDialog
{
    Q_OBJECT

public:
    /// filters in Qt's syntax ("Png files (*.png)"); filterIndex is the entry
    /// selected at the start; folder is the one listed first.
    FileOpenWindow(QWidget* owner, const QStringList& filters, int filterIndex, const std::string& folder);

    /// The confirmed file's full path, as bytes.
    const std::string& chosenFile() const { return m_chosen; }
    /// The folder listed when the file was confirmed.
    const std::string& folder() const { return m_folder; }
    int filterIndex() const;

private:
    void showFolder(const std::string& folder);
    void relist();
    void pick(QListWidgetItem* item);
    void activate(QListWidgetItem* item);
    void openTyped();
    void choose(const std::string& path);
    std::string typedPath() const;

    QLineEdit* m_lookIn;
    QListWidget* m_list;
    QLineEdit* m_name;
    QComboBox* m_types;
    std::string m_folder;
    std::string m_chosen;
    std::string m_pickedName; // bytes of the file last picked in the list
    QString m_pickedText;     // and the text it put into the name box
};

} // namespace vidlume::ui
