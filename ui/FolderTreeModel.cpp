#include "ui/FolderTreeModel.h"
#include "ui/LocalPaths.h"

#include "platform/DriveType.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QStandardPaths>

#include <algorithm>
#include <optional>

namespace vidlume::ui {

struct FolderTreeModel::Node
{
    Kind kind = Kind::Folder;
    QString name;
    std::string path; // as the file system's bytes
    Node* parent = nullptr;
    int row = 0;
    std::vector<std::unique_ptr<Node>> children;
    bool listed = false;
    mutable std::optional<bool> hasSubfolders;
    mutable std::optional<QIcon> icon;
};

namespace {

// Only "0" to "9" make numbers, as in a file manager. Other scripts' digits compare
// as characters: as numbers they would sort before longer numbers but after letters,
// and the order would go round in a circle ("10" < "a" < U+06F5 < "10"), which
// std::sort must never be given.
bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

// QCollator would sort numbers by value too, but not in the C locale, which ignores
// its numeric mode.
int compareNaturally(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isAsciiDigit(a[i]) && isAsciiDigit(b[j])) {
            const qsizetype startA = i;
            const qsizetype startB = j;
            while (i < a.size() && isAsciiDigit(a[i]))
                ++i;
            while (j < b.size() && isAsciiDigit(b[j]))
                ++j;
            // Equal values compare equal whatever their leading zeros.
            QStringView digitsA = QStringView(a).sliced(startA, i - startA);
            QStringView digitsB = QStringView(b).sliced(startB, j - startB);
            while (digitsA.size() > 1 && digitsA.front() == u'0')
                digitsA = digitsA.sliced(1);
            while (digitsB.size() > 1 && digitsB.front() == u'0')
                digitsB = digitsB.sliced(1);
            if (digitsA.size() != digitsB.size())
                return digitsA.size() < digitsB.size() ? -1 : 1;
            if (const int order = digitsA.compare(digitsB))
                return order;
            continue;
        }
        const char32_t foldedA = a[i].toCaseFolded().unicode();
        const char32_t foldedB = b[j].toCaseFolded().unicode();
        if (foldedA != foldedB)
            return foldedA < foldedB ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return a.compare(b);
}

namespace {

QString shown(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string local(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// Hidden folders stay out, as a file manager leaves them out by default. Read as
// bytes: QDir leaves out every name that is not valid UTF-8.
std::vector<std::string> subfolderNames(const std::string& path)
{
    std::vector<std::string> names;
    for (auto& entry : platform::listDirectory(path).value_or(std::vector<platform::DirectoryEntry>{}))
        if (entry.isDirectory && entry.name.front() != '.')
            names.push_back(std::move(entry.name));
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int order = compareNaturally(shown(a), shown(b));
        return order != 0 ? order < 0 : a < b; // names that look alike keep one order
    });
    return names;
}

std::string joined(const std::string& folder, const std::string& name)
{
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

/// A path without doubled or trailing separators ("/" stays "/").
std::string cleaned(const std::string& path)
{
    std::string clean;
    for (const char c : path)
        if (c != '/' || clean.empty() || clean.back() != '/')
            clean += c;
    if (clean.size() > 1 && clean.back() == '/')
        clean.pop_back();
    return clean;
}

// True when the folder is the path or one of the folders above it.
bool holds(const std::string& folder, const std::string& path)
{
    return folder == "/" || path == folder || path.starts_with(folder + "/");
}

} // namespace

FolderTreePlaces FolderTreePlaces::ofThisUser(std::function<std::string()> mountTable)
{
    FolderTreePlaces places;
    places.home = QDir::homePath();
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    places.desktop = !desktop.isEmpty() && QFileInfo(desktop).isDir() ? desktop : places.home;
    places.volumes = [mountTable = std::move(mountTable)] { return userVolumesIn(mountTable()); };
    return places;
}

QStringList userVolumesIn(const std::string& mountTable)
{
    QStringList volumes;
    for (const auto& mount : platform::parseMountTable(mountTable)) {
        const QString point = QFile::decodeName(QByteArray::fromStdString(mount.mountPoint));
        const QStringList parts = point.split(u'/', Qt::SkipEmptyParts);
        const bool underMediaOrMnt = (parts.size() == 2 && (parts[0] == u"media" || parts[0] == u"mnt")) ||
                                     (parts.size() == 3 && parts[0] == u"media");
        const bool underRunMedia = parts.size() == 4 && parts[0] == u"run" && parts[1] == u"media";
        if (underMediaOrMnt || underRunMedia)
            volumes.append(u'/' + parts.join(u'/'));
    }
    volumes.removeDuplicates();
    return volumes;
}

FolderTreeModel::FolderTreeModel(FolderTreePlaces places, QObject* parent)
    : QAbstractItemModel(parent), m_places(std::move(places))
{
    m_places.desktop = QDir::cleanPath(m_places.desktop);
    m_places.home = QDir::cleanPath(m_places.home);
    m_top = makeRoot();
}

FolderTreeModel::~FolderTreeModel() = default;

std::unique_ptr<FolderTreeModel::Node> FolderTreeModel::makeRoot() const
{
    auto top = std::make_unique<Node>();
    top->listed = true;
    auto desktop = std::make_unique<Node>();
    desktop->kind = Kind::Desktop;
    desktop->name = tr("Desktop");
    desktop->path = local(m_places.desktop);
    desktop->parent = top.get();
    top->children.push_back(std::move(desktop));
    return top;
}

void FolderTreeModel::reload()
{
    beginResetModel();
    m_top = makeRoot();
    endResetModel();
}

void FolderTreeModel::relist(const QModelIndex& index)
{
    Node* node = nodeOf(index);
    if (!node->children.empty()) {
        beginRemoveRows(index, 0, static_cast<int>(node->children.size()) - 1);
        node->children.clear();
        endRemoveRows();
    }
    node->listed = false;
    node->hasSubfolders.reset();
    fetchMore(index);
}

std::vector<std::unique_ptr<FolderTreeModel::Node>> FolderTreeModel::listChildren(const Node& node) const
{
    std::vector<std::unique_ptr<Node>> children;
    const auto add = [&children](Kind kind, const QString& name, const std::string& path) {
        auto child = std::make_unique<Node>();
        child->kind = kind;
        child->name = name;
        child->path = path;
        children.push_back(std::move(child));
    };
    const auto addFoldersIn = [&add](const std::string& folder) {
        for (const std::string& name : subfolderNames(folder))
            add(Kind::Folder, shown(name), joined(folder, name));
    };

    switch (node.kind) {
    case Kind::Desktop:
        add(Kind::Folder, tr("Home"), local(m_places.home));
        add(Kind::Computer, tr("Computer"), {});
        addFoldersIn(node.path);
        break;
    case Kind::Computer: {
        add(Kind::Folder, tr("File System"), "/");
        QStringList volumes = m_places.volumes ? m_places.volumes() : QStringList();
        std::sort(volumes.begin(), volumes.end(), [](const QString& a, const QString& b) {
            return compareNaturally(a.section(u'/', -1), b.section(u'/', -1)) < 0;
        });
        for (const QString& volume : volumes)
            add(Kind::Folder, volume.section(u'/', -1), local(volume));
        break;
    }
    case Kind::Folder:
        addFoldersIn(node.path);
        break;
    }
    return children;
}

FolderTreeModel::Node* FolderTreeModel::nodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : m_top.get();
}

QModelIndex FolderTreeModel::indexOf(const Node* node) const
{
    return node == m_top.get() ? QModelIndex() : createIndex(node->row, 0, node);
}

QModelIndex FolderTreeModel::rootIndex() const
{
    return indexOf(m_top->children.front().get());
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const Node* node = nodeOf(parent);
    if (column != 0 || row < 0 || row >= static_cast<int>(node->children.size()))
        return {};
    return createIndex(row, 0, node->children[static_cast<size_t>(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    return indexOf(nodeOf(child)->parent);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return static_cast<int>(nodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Node* node = nodeOf(index);
    switch (role) {
    case Qt::DisplayRole:
        return node->name;
    case Qt::ToolTipRole:
        return node->path.empty() ? QVariant() : QVariant(exactPathText(node->path));
    case Qt::DecorationRole:
        if (!node->icon) {
            switch (node->kind) {
            case Kind::Desktop:
                node->icon = m_icons.icon(QAbstractFileIconProvider::Desktop);
                break;
            case Kind::Computer:
                node->icon = m_icons.icon(QAbstractFileIconProvider::Computer);
                break;
            case Kind::Folder:
                node->icon = node->parent->kind == Kind::Computer
                                 ? m_icons.icon(QAbstractFileIconProvider::Drive)
                                 : m_icons.icon(QAbstractFileIconProvider::Folder);
                break;
            }
        }
        return *node->icon;
    default:
        return {};
    }
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const
{
    const Node* node = nodeOf(parent);
    if (node->listed)
        return !node->children.empty();
    switch (node->kind) {
    case Kind::Desktop:
    case Kind::Computer:
        return true;
    case Kind::Folder:
        // Looked up once, so that only folders holding folders get an expand button.
        if (!node->hasSubfolders)
            node->hasSubfolders = !subfolderNames(node->path).empty();
        return *node->hasSubfolders;
    }
    return false;
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const
{
    return !nodeOf(parent)->listed;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent)
{
    Node* node = nodeOf(parent);
    if (node->listed)
        return;
    auto children = listChildren(*node);
    node->listed = true;
    if (children.empty())
        return;
    beginInsertRows(parent, 0, static_cast<int>(children.size()) - 1);
    for (auto& child : children) {
        child->parent = node;
        child->row = static_cast<int>(node->children.size());
        node->children.push_back(std::move(child));
    }
    endInsertRows();
}

QModelIndex FolderTreeModel::indexOfPath(const QString& path)
{
    return indexOfLocalPath(local(path));
}

QModelIndex FolderTreeModel::indexOfLocalPath(const std::string& path)
{
    if (path.empty() || path.front() != '/')
        return {};
    const std::string target = cleaned(path);
    const auto listed = [this](const Node* node) -> const Node* {
        fetchMore(indexOf(node));
        return node;
    };

    // Where the search may start, in order of preference when two hold the same
    // folder: the root's folders (home first), the places under "Computer", the root.
    const Node* root = listed(m_top->children.front().get());
    std::vector<const Node*> starts;
    for (const auto& child : root->children) {
        if (child->kind == Kind::Folder)
            starts.push_back(child.get());
        else if (child->kind == Kind::Computer)
            for (const auto& place : listed(child.get())->children)
                starts.push_back(place.get());
    }
    starts.push_back(root);

    const Node* node = nullptr;
    for (const Node* start : starts) {
        if (holds(start->path, target) && (!node || start->path.size() > node->path.size()))
            node = start;
    }
    if (!node)
        return {};

    while (node->path != target) {
        const std::size_t from = node->path == "/" ? 1 : node->path.size() + 1;
        const std::string next = target.substr(0, target.find('/', from));
        const auto& children = listed(node)->children;
        const auto found = std::find_if(children.begin(), children.end(),
                                        [&next](const auto& child) { return child->path == next; });
        if (found == children.end())
            return {};
        node = found->get();
    }
    return indexOf(node);
}

QString FolderTreeModel::pathOf(const QModelIndex& index) const
{
    return index.isValid() ? shown(nodeOf(index)->path) : QString();
}

std::string FolderTreeModel::localPathOf(const QModelIndex& index) const
{
    return index.isValid() ? nodeOf(index)->path : std::string();
}

FolderTreeModel::Kind FolderTreeModel::kindOf(const QModelIndex& index) const
{
    return nodeOf(index)->kind;
}

int FolderTreeModel::levelOf(const QModelIndex& index)
{
    int level = -1;
    for (QModelIndex at = index; at.isValid(); at = at.parent())
        ++level;
    return level;
}

} // namespace vidlume::ui
