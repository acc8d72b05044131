#pragma once

#include <QAbstractItemModel>
#include <QFileIconProvider>
#include <QStringList>

#include <functional>
#include <memory>

namespace vidlume::ui {

/// The places that the folder tree starts from.
struct FolderTreePlaces
{
    QString desktop; ///< folder of the root node
    QString home;    ///< folder of the first entry under the root
    /// Mount points of the volumes listed under "Computer" beside "/"; asked
    /// each time "Computer" is listed.
    std::function<QStringList()> volumes;

    /// The places of this user: the desktop folder (the home folder when there is
    /// none), the home folder, and the volumes mounted for the user as the mount
    /// table text read by mountTable lists them.
    static FolderTreePlaces ofThisUser(std::function<std::string()> mountTable);
};

/// Mount points in a mount table text that a user sees as volumes: those right
/// under /media or /mnt, and one level deeper under /media/<user> and
/// /run/media/<user>.
QStringList userVolumesIn(const std::string& mountTable);

/// Compares two folder names as a file manager sorts them (negative, zero or
/// positive): case does not matter, and runs of digits compare by their value, so
/// "clip 9" comes before "clip 10".
int compareNaturally(const QString& a, const QString& b);

/// A tree of folders for choosing one, rooted at the desktop (level 0). Under the
/// root, in this order: the home folder, "Computer" ("/" and the mounted volumes),
/// then the folders inside the desktop folder. Only folders are listed, without
/// hidden ones, sorted as a file manager sorts them, each with its path as the
/// file system's bytes (a name that is not valid UTF-8 included); each node is
/// listed the first time it is expanded. Every node carries its Kind.
class FolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum class Kind
    {
        Desktop,
        Folder,
        Computer, ///< the file system root and the volumes; no folder of its own
    };

    explicit FolderTreeModel(FolderTreePlaces places, QObject* parent = nullptr);
    ~FolderTreeModel() override;

    /// The desktop root.
    QModelIndex rootIndex() const;

    /// The node of a folder path, listing the nodes on the way as needed; the
    /// search starts from the deepest entry of the root, the home folder, "/" or a
    /// volume that holds the path. Invalid when the folder is not in the tree.
    QModelIndex indexOfPath(const QString& path);
    /// The same for a path given as the file system's bytes.
    QModelIndex indexOfLocalPath(const std::string& path);

    /// The folder path of a node as text; empty for "Computer".
    QString pathOf(const QModelIndex& index) const;
    /// The folder path of a node as the file system's bytes; empty for "Computer".
    std::string localPathOf(const QModelIndex& index) const;

    Kind kindOf(const QModelIndex& index) const;

    /// Number of ancestors: 0 for the desktop root.
    static int levelOf(const QModelIndex& index);

    /// Forgets every listing, so that each node is read again when it is expanded.
    void reload();

    /// Reads one node's folders again, now.
    void relist(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    struct Node;

    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(const Node* node) const;
    std::vector<std::unique_ptr<Node>> listChildren(const Node& node) const;
    std::unique_ptr<Node> makeRoot() const;

    FolderTreePlaces m_places;
    std::unique_ptr<Node> m_top; // invisible; holds the desktop root
    QFileIconProvider m_icons;
};

} // namespace vidlume::ui
