#include "ui/directory.h"

#include "app/Error.h"
#include "form/OutputFolderChoice.h"
#include "platform/DriveType.h"
#include "platform/FileSystem.h"
#include "platform/Launcher.h"
#include "ui/ButtonKeys.h"
#include "ui/ErrorReport.h"
#include "ui/FolderTreeModel.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTreeView>
#include <QWindow>

#include <algorithm>
#include <filesystem>

TfmDirectory* fmDirectory = nullptr;

using vidlume::ui::FolderTreeModel;

namespace {

// Outer size, frame and title bar included, set at every showing.
constexpr int outerWidth = 322;
constexpr int outerHeight = 351;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QRect& place)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(place);
    // Enter and Escape are bound to neither button, so neither may become default.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The application's main window, over which a chooser without an owner is centred.
// The active window will not do: without a window manager there is none.
QWidget* mainWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto found = std::find_if(windows.begin(), windows.end(), [](const QWidget* window) {
        return window->isVisible() && qobject_cast<const QMainWindow*>(window);
    });
    return found == windows.end() ? nullptr : *found;
}

} // namespace

TfmDirectory::TfmDirectory(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_mountTable(vidlume::platform::readMountTable), m_launcher(&vidlume::platform::systemLauncher())
{
    setObjectName(QStringLiteral("fmDirectory"));
    setWindowTitle(QStringLiteral("Browse"));
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);
    // The client area as laid out, and the least it may shrink to; FormShow fits
    // it to the outer size, and the user may make it larger.
    setMinimumSize(314, 317);
    resize(314, 317);

    lbl1 = new QLabel(QStringLiteral("Please select an output directory:"), this);
    lbl1->setObjectName(QStringLiteral("lbl1"));
    lbl1->setGeometry(11, 6, std::max(157, lbl1->sizeHint().width()), 13);

    m_tree = new FolderTreeModel(vidlume::ui::FolderTreePlaces::ofThisUser(
                                     [this] { return m_mountTable ? m_mountTable() : std::string(); }),
                                 this);
    stview_selectdir = new QTreeView(this);
    stview_selectdir->setObjectName(QStringLiteral("stview_selectdir"));
    stview_selectdir->setGeometry(8, 29, 298, 248);
    stview_selectdir->setModel(m_tree);
    stview_selectdir->setHeaderHidden(true);
    stview_selectdir->setIndentation(19);
    stview_selectdir->setRootIsDecorated(false);
    stview_selectdir->setSelectionMode(QAbstractItemView::SingleSelection);
    stview_selectdir->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stview_selectdir->setUniformRowHeights(true);
    // The selection stays highlighted when the tree loses the focus.
    QPalette palette = stview_selectdir->palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    stview_selectdir->setPalette(palette);

    // The prompt names the tree for screen readers.
    lbl1->setBuddy(stview_selectdir);
    stview_selectdir->setAccessibleName(lbl1->text());

    btnOk = makeButton(this, "btnOk", QStringLiteral("Ok"), {72, 285, 75, 25});
    btnCancel = makeButton(this, "btnCancel", QStringLiteral("Cancel"), {168, 285, 75, 25});
    setTabOrder(stview_selectdir, btnOk);
    setTabOrder(btnOk, btnCancel);

    using vidlume::ui::reportingErrors;
    // Mouse clicks only: a selection moved with the keyboard keeps btnOk as it was.
    connect(stview_selectdir, &QTreeView::clicked, this,
            reportingErrors(this, [this] { stview_selectdirClick(); }));
    // However the selection goes away (Ctrl+click, Ctrl+Space), Ok goes with it.
    connect(stview_selectdir->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!stview_selectdir->selectionModel()->hasSelection())
            btnOk->setEnabled(false);
    });
    connect(btnOk, &QPushButton::clicked, this, reportingErrors(this, [this] { btnOkClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, reportingErrors(this, [this] { btnCancelClick(); }));

    stview_selectdir->viewport()->installEventFilter(this);
    stview_selectdir->installEventFilter(this); // the menu key's context menu comes here
    vidlume::ui::clickFocusedButtonsOnEnter(this);

    // At creation the desktop root is expanded one level and selected.
    stview_selectdir->expand(m_tree->rootIndex());
    stview_selectdir->setCurrentIndex(m_tree->rootIndex());
}

void TfmDirectory::setMountTableSource(std::function<std::string()> source)
{
    m_mountTable = std::move(source);
}

void TfmDirectory::FormShow()
{
    applyOuterSize();
    // Read afresh, so that folders and volumes that came since the last showing are there.
    m_tree->reload();
    stview_selectdir->expand(m_tree->rootIndex());
    stview_selectdir->setCurrentIndex(m_tree->rootIndex());
    selectPath(m_startFolder);
    stview_selectdirClick();
}

void TfmDirectory::selectPath(const std::string& path)
{
    if (!vidlume::platform::directoryExists(path))
        throw vidlume::Error("Error setting path: \"" + std::filesystem::path(path).lexically_normal().string() +
                             "\""); // as a user writes it, without "//" or "/./"
    const QModelIndex node = m_tree->indexOfLocalPath(path);
    if (!node.isValid()) {
        stview_selectdir->selectionModel()->clearSelection();
        return;
    }
    if (stview_selectdir->selectionModel()->isSelected(node))
        return;
    for (QModelIndex above = node.parent(); above.isValid(); above = above.parent())
        stview_selectdir->expand(above);
    stview_selectdir->setCurrentIndex(node);
    stview_selectdir->scrollTo(node);
}

void TfmDirectory::stview_selectdirClick()
{
    const QModelIndexList selected = stview_selectdir->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        btnOk->setEnabled(false);
        return;
    }
    // "Computer" gathers the file system and the volumes: it is no folder itself.
    btnOk->setEnabled(m_tree->kindOf(selected.front()) != FolderTreeModel::Kind::Computer);
}

void TfmDirectory::btnOkClick()
{
    const QModelIndexList selected = stview_selectdir->selectionModel()->selectedIndexes();
    SelectedDir = selected.isEmpty() ? std::string() : m_tree->localPathOf(selected.front());
    const std::string mountTable = m_mountTable ? m_mountTable() : std::string();
    if (const auto refusal =
            vidlume::form::outputFolderRefusal(vidlume::platform::driveType(SelectedDir, mountTable))) {
        SelectedDir.clear();
        vidlume::ui::messageBoxes().show(this, QCoreApplication::applicationName(),
                                         QString::fromStdString(*refusal),
                                         vidlume::ui::MessageIcon::Information);
        return;
    }
    close();
}

void TfmDirectory::btnCancelClick()
{
    SelectedDir.clear();
    close();
}

void TfmDirectory::stview_selectdirContextPopup(const QModelIndex& node, const QPoint& where)
{
    const std::string folder = m_tree->localPathOf(node);
    if (folder.empty())
        return; // "Computer" is no folder and has no menu
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("folderMenu"));
    menu.addAction(tr("Open in File Manager"), this, [this, folder] { m_launcher->openFolder(folder); });
    menu.addAction(tr("New Folder..."), this, [this, node] {
        vidlume::ui::runReportingErrors(this, [this, node] { newFolderIn(node); });
    });
    menu.addSeparator();
    menu.addAction(tr("Copy Path"), this,
                   [folder] { QGuiApplication::clipboard()->setText(QFile::decodeName(QByteArray::fromStdString(folder))); });
    // The folder that the menu is for is highlighted while it is open; then the
    // selection is what it was, unless the menu made and selected a new folder.
    QItemSelectionModel* selection = stview_selectdir->selectionModel();
    const QPersistentModelIndex before = stview_selectdir->currentIndex();
    const bool hadSelection = selection->hasSelection();
    selection->setCurrentIndex(node, QItemSelectionModel::ClearAndSelect);
    stview_selectdir->viewport()->update();
    const QPersistentModelIndex shownFor(node);
    menu.exec(where);
    if (stview_selectdir->currentIndex() == QModelIndex(shownFor)) {
        selection->setCurrentIndex(before, hadSelection ? QItemSelectionModel::ClearAndSelect
                                                        : QItemSelectionModel::Clear);
        stview_selectdir->viewport()->update();
    }
}

void TfmDirectory::newFolderIn(const QModelIndex& node)
{
    const QPersistentModelIndex parent(node);
    const std::string folder = m_tree->localPathOf(node);
    const std::string base = folder.back() == '/' ? folder : folder + "/";
    QString name = tr("New Folder");
    for (int number = 2; vidlume::platform::entryExists(base + QFile::encodeName(name).toStdString());
         ++number)
        name = tr("New Folder %1").arg(number);
    bool confirmed = false;
    name = QInputDialog::getText(this, tr("New Folder"), tr("Folder name:"), QLineEdit::Normal, name,
                                 &confirmed);
    if (!confirmed || name.isEmpty())
        return;
    if (name.contains(u'/') || name == u"." || name == u"..")
        throw vidlume::Error("\"" + name.toStdString() + "\" cannot be a folder name");
    const std::string created = base + QFile::encodeName(name).toStdString();
    if (const int error = vidlume::platform::createDirectory(created))
        throw vidlume::Error("Cannot create folder \"" + created + "\". " +
                             vidlume::platform::systemErrorText(error));
    m_tree->relist(parent);
    stview_selectdir->expand(parent);
    selectPath(created);
    stview_selectdirClick();
}

void TfmDirectory::showEvent(QShowEvent* event)
{
    // A showing by the window system (after a minimise) is no new opening.
    if (event->spontaneous())
        return;
    m_sizeSet = QSize();
    vidlume::ui::runReportingErrors(this, [this] { FormShow(); });
    placeOverOwner();
    if (!m_watchingFrame && windowHandle()) {
        // A window manager frames the window only once it is on screen.
        windowHandle()->installEventFilter(this);
        m_watchingFrame = true;
    }
}

bool TfmDirectory::eventFilter(QObject* watched, QEvent* event)
{
    // Only the left button clicks in the tree, and only on an entry: the other
    // buttons, and a press on empty space, would move or clear the selection
    // without the OK rule following it.
    if (watched == stview_selectdir->viewport()) {
        const auto type = event->type();
        const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
        if (press || type == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton ||
                (press && !stview_selectdir->indexAt(mouse->position().toPoint()).isValid()))
                return true;
        }
    }
    if (event->type() == QEvent::ContextMenu &&
        (watched == stview_selectdir || watched == stview_selectdir->viewport())) {
        // A mouse's menu is for the entry under the pointer, the menu key's for the current one.
        const auto* request = static_cast<QContextMenuEvent*>(event);
        const QModelIndex node = request->reason() == QContextMenuEvent::Mouse && watched != stview_selectdir
                                     ? stview_selectdir->indexAt(request->pos())
                                     : stview_selectdir->currentIndex();
        const QPoint where =
            request->reason() == QContextMenuEvent::Mouse
                ? request->globalPos()
                : stview_selectdir->viewport()->mapToGlobal(stview_selectdir->visualRect(node).center());
        vidlume::ui::runReportingErrors(this, [&] { stview_selectdirContextPopup(node, where); });
        return true;
    }
    if (watched == windowHandle() && event->type() == QEvent::Expose && isVisible())
        applyOuterSize();
    return QDialog::eventFilter(watched, event);
}

void TfmDirectory::keyPressEvent(QKeyEvent* event)
{
    // Escape is bound to no button, so it leaves the dialog open as well.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfmDirectory::applyOuterSize()
{
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize client(outerWidth - frame.left() - frame.right(), outerHeight - frame.top() - frame.bottom());
    // Set again when the frame turns out other than assumed, but not against a
    // size the user has since given it.
    if (client == m_sizeSet && m_sizeSet.isValid())
        return;
    m_sizeSet = client;
    setMinimumSize(client);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(client);
}

void TfmDirectory::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!stview_selectdir || !btnOk || !btnCancel)
        return; // still being made
    // The tree takes what the user adds; the buttons stay centred below it.
    const int w = width(), h = height();
    stview_selectdir->setGeometry(8, 29, w - 16, h - 69);
    btnOk->move(w / 2 - 85, h - 32);
    btnCancel->move(w / 2 + 11, h - 32);
}

void TfmDirectory::placeOverOwner()
{
    // Centred at the first showing; afterwards left where the user put it.
    if (m_placed)
        return;
    m_placed = true;
    QWidget* owner = parentWidget() ? parentWidget()->window() : mainWindow();
    const QRect area = owner ? owner->frameGeometry() : screen()->availableGeometry();
    QPoint place(area.left() + (area.width() - outerWidth) / 2, area.top() + (area.height() - outerHeight) / 2);
    // Never with its title bar off the screen (an owner near the top, a large scale).
    const QRect screenArea = (owner ? owner->screen() : screen())->availableGeometry();
    place.setX(std::clamp(place.x(), screenArea.left(), std::max(screenArea.left(), screenArea.right() + 1 - outerWidth)));
    place.setY(std::clamp(place.y(), screenArea.top(), std::max(screenArea.top(), screenArea.bottom() + 1 - outerHeight)));
    move(place);
    // The frame is not known before the window manager has framed the window once, so
    // move() would put the client area's corner at the place; ask for the frame's.
    if (windowHandle())
        windowHandle()->setFramePosition(place);
}
