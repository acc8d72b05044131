#include "ui/FileOpenWindow.h"

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "ui/ButtonKeys.h"
#include "ui/FolderTreeModel.h"
#include "ui/MessageBoxes.h"

#include <QComboBox>
#include <QFile>
#include <QFileIconProvider>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

namespace vidlume::ui {

namespace {

constexpr int nameRole = Qt::UserRole;       // the entry's name as bytes
constexpr int folderRole = Qt::UserRole + 1; // true for a folder

QString shown(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

/// A name with each byte that is not part of valid UTF-8 written as \xHH.
QString escapedName(const std::string& bytes)
{
    QString text;
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t length = 1;
        while (length <= 4 && at + length <= bytes.size()
               && !QUtf8StringView(bytes.data() + at, static_cast<qsizetype>(length)).isValidUtf8())
            ++length;
        if (length <= 4 && at + length <= bytes.size()) {
            text += QString::fromUtf8(bytes.data() + at, static_cast<qsizetype>(length));
            at += length;
        } else {
            text += QString::asprintf("\\x%02X", static_cast<unsigned char>(bytes[at]));
            ++at;
        }
    }
    return text;
}

std::string joined(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string parentOf(const std::string& folder)
{
    const auto slash = folder.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : folder.substr(0, slash);
}

/// The name endings of a filter entry: "Jpg files (*.jpg)" gives ".jpg".
QStringList endingsOf(const QString& filter)
{
    QStringList endings;
    const auto patterns = QRegularExpression(R"(\(([^)]*)\))").match(filter).captured(1);
    for (const QString& pattern : patterns.split(u' ', Qt::SkipEmptyParts))
        endings << (pattern == u"*" || pattern == u"*.*" ? QString() : pattern.mid(1));
    return endings;
}

bool matches(const std::string& name, const QStringList& endings)
{
    const QString text = shown(name);
    return std::any_of(endings.begin(), endings.end(),
                       [&text](const QString& ending) { return text.endsWith(ending, Qt::CaseInsensitive); });
}

} // namespace

FileOpenWindow::FileOpenWindow(QWidget* owner, const QStringList& filters, int filterIndex,
                               const std::string& folder)
    : QDialog(owner)
{
    setObjectName("fileOpenWindow");
    setWindowTitle(tr("Open"));
    resize(560, 380);

    m_lookIn = new QLineEdit(this);
    m_lookIn->setObjectName("lookInEdit");
    m_lookIn->setReadOnly(true);
    auto* up = new QToolButton(this);
    up->setObjectName("upButton");
    up->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up->setToolTip(tr("Up one level"));
    m_list = new QListWidget(this);
    m_list->setObjectName("fileList");
    m_name = new QLineEdit(this);
    m_name->setObjectName("fileNameEdit");
    m_types = new QComboBox(this);
    m_types->setObjectName("fileTypeCombo");
    m_types->addItems(filters);
    m_types->setCurrentIndex(filterIndex < filters.size() ? filterIndex : 0);
    auto* open = new QPushButton(tr("&Open"), this);
    open->setObjectName("openButton");
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName("cancelButton");
    for (auto* button : {open, cancel})
        button->setAutoDefault(false); // Enter belongs to the focused control

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("Look in:"), this), 0, 0);
    grid->addWidget(m_lookIn, 0, 1);
    grid->addWidget(up, 0, 2);
    grid->addWidget(m_list, 1, 0, 1, 3);
    grid->addWidget(new QLabel(tr("File name:"), this), 2, 0);
    grid->addWidget(m_name, 2, 1);
    grid->addWidget(open, 2, 2);
    grid->addWidget(new QLabel(tr("Files of type:"), this), 3, 0);
    grid->addWidget(m_types, 3, 1);
    grid->addWidget(cancel, 3, 2);

    connect(up, &QToolButton::clicked, this, [this] { showFolder(parentOf(m_folder)); });
    connect(m_list, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) { pick(item); });
    connect(m_list, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { activate(item); });
    connect(m_name, &QLineEdit::returnPressed, this, [this] { openTyped(); });
    connect(open, &QPushButton::clicked, this, [this] { openTyped(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_types, &QComboBox::currentIndexChanged, this, [this] { relist(); });
    clickFocusedButtonsOnEnter(this);

    showFolder(platform::directoryExists(folder) ? folder : "/");
    m_name->setFocus();
}

int FileOpenWindow::filterIndex() const
{
    return std::max(0, m_types->currentIndex());
}

void FileOpenWindow::showFolder(const std::string& folder)
{
    m_folder = folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder;
    m_lookIn->setText(shown(m_folder));
    relist();
}

void FileOpenWindow::relist()
{
    m_list->clear();
    auto entries = platform::listDirectory(m_folder).value_or(std::vector<platform::DirectoryEntry>{});
    const QStringList endings = endingsOf(m_types->currentText());
    std::erase_if(entries, [&endings](const platform::DirectoryEntry& entry) {
        return entry.name.front() == '.' || (!entry.isDirectory && !matches(entry.name, endings));
    });
    // Folders first, each kind sorted as a file manager sorts names.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        if (a.isDirectory != b.isDirectory)
            return a.isDirectory;
        const int order = compareNaturally(shown(a.name), shown(b.name));
        return order != 0 ? order < 0 : a.name < b.name; // names shown alike keep one order
    });
    const QFileIconProvider icons;
    for (const auto& entry : entries) {
        const auto kind =
            entry.isDirectory ? QAbstractFileIconProvider::Folder : QAbstractFileIconProvider::File;
        auto* item = new QListWidgetItem(icons.icon(kind), shown(entry.name), m_list);
        item->setData(nameRole, QByteArray::fromStdString(entry.name));
        // Names that are not valid UTF-8 show their bytes on hover, so that
        // names shown alike (each such byte as U+FFFD) can be told apart.
        if (!QUtf8StringView(entry.name).isValidUtf8())
            item->setToolTip(tr("%1 (not valid UTF-8)").arg(escapedName(entry.name)));
        item->setData(folderRole, entry.isDirectory);
    }
}

void FileOpenWindow::pick(QListWidgetItem* item)
{
    if (!item || item->data(folderRole).toBool())
        return;
    m_pickedName = item->data(nameRole).toByteArray().toStdString();
    m_pickedText = item->text();
    m_name->setText(m_pickedText);
}

void FileOpenWindow::activate(QListWidgetItem* item)
{
    const std::string path = joined(m_folder, item->data(nameRole).toByteArray().toStdString());
    if (item->data(folderRole).toBool())
        showFolder(path);
    else
        choose(path);
}

std::string FileOpenWindow::typedPath() const
{
    // The name picked in the list keeps its bytes as long as it stands unchanged.
    if (!m_pickedText.isEmpty() && m_name->text() == m_pickedText)
        return joined(m_folder, m_pickedName);
    const std::string typed = QFile::encodeName(m_name->text()).toStdString();
    if (typed.front() == '/')
        return typed;
    if (typed == "~" || typed.starts_with("~/"))
        return platform::userProfileFolder() + typed.substr(1);
    return joined(m_folder, typed);
}

void FileOpenWindow::openTyped()
{
    if (m_name->text().isEmpty())
        return;
    const std::string path = typedPath();
    if (platform::directoryExists(path)) {
        showFolder(path);
        m_name->clear();
        return;
    }
    choose(path);
}

void FileOpenWindow::choose(const std::string& path)
{
    if (!platform::fileExists(path)) {
        messageBoxes().show(this, windowTitle(),
                            tr("%1\nFile not found.\nCheck the file name and try again.").arg(m_name->text()),
                            MessageIcon::Information);
        return;
    }
    m_chosen = path;
    accept();
}

} // namespace vidlume::ui
