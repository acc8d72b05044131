#include "RecordingMessageBoxes.h"
#include "RecordingLauncher.h"
#include "ui/FolderTreeModel.h"
#include "ui/MessageBoxes.h"
#include "ui/directory.h"

#include <QAccessible>
#include <QScreen>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <memory>

using vidlume::ui::FolderTreeModel;
using vidlume::ui::MessageIcon;

using vidlume::test::RecordingLauncher;

namespace {

std::string local(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}


/// Runs act on the popup menu or the modal dialog that is next on screen; act must close it.
void whenShown(std::function<void(QWidget*)> act, int triesLeft = 500)
{
    QTimer::singleShot(10, [act, triesLeft] {
        QWidget* shown = QApplication::activePopupWidget();
        if (!shown)
            shown = QApplication::activeModalWidget();
        if (shown && shown->isVisible() &&
            (qobject_cast<QMenu*>(shown) || qobject_cast<QInputDialog*>(shown)))
            act(shown);
        else if (triesLeft > 0)
            whenShown(act, triesLeft - 1);
    });
}

/// Picks the menu's action of that text.
void trigger(QWidget* menu, const QString& text)
{
    menu->close();
    for (QAction* action : static_cast<QMenu*>(menu)->actions()) {
        if (action->text() == text) {
            action->trigger();
            break;
        }
    }
}

} // namespace

class TestDirectory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyOpeningSelectsTheFileSystemRootWithOkEnabled();
    void okRuleFollowsTheClickedEntry();
    void treeListsFoldersOnlySortedAndReadAfreshAtEachOpening();
    void folderNamesSortInOneConsistentOrder();
    void okOnADiskFolderAcceptsExactlyTheTreesPath();
    void okOnACdRomFolderIsRefusedAndTheDialogStaysOpen();
    void cancelEmptiesTheResultWhileCloseBoxAndEscapeKeepIt();
    void outerSizeAndPlacementAtEveryShowing();
    void startFolderThatDoesNotExistIsReportedAndLeavesOkAlone();
    void okNeverStaysEnabledWithoutASelection();
    void rightClickOnAFolderOffersTheFolderMenu();

private:
    // Opens the context menu of an entry with a right click, as the window system sends it.
    void rightClick(const QModelIndex& index);
    // Clicks an entry the way a user does, which is what runs the OK rule.
    void clickEntry(const QModelIndex& index);
    QModelIndex entryOfRoot(int row) const;
    QString selectedPath() const;

    QTemporaryDir m_home;
    QString m_disc;
    RecordingMessageBoxes m_boxes;
    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<TfmDirectory> m_dialog;
};

void TestDirectory::initTestCase()
{
    QVERIFY(m_home.isValid());
    QCoreApplication::setApplicationName(QStringLiteral("Vidlume"));
    const QString home = m_home.path();
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/.config"));
    QDir dir(home);
    for (const char* folder : {"Desktop/alpha", "Desktop/Beta", "Desktop/clip 10", "Desktop/clip 9",
                               "Desktop/.hidden", "work/deep", "disc/videos"})
        QVERIFY(dir.mkpath(QString::fromLatin1(folder)));
    QVERIFY(std::filesystem::create_directory(local(home) + "/Desktop/caf\xE9"));
    QFile file(home + "/Desktop/notes.txt");
    QVERIFY(file.open(QIODevice::WriteOnly));
    m_disc = home + "/disc";
}

void TestDirectory::init()
{
    vidlume::ui::setMessageBoxes(&m_boxes);
    m_boxes.shown.clear();
    m_owner = std::make_unique<QWidget>();
    m_owner->setGeometry(100, 120, 481, 421);
    m_owner->show();
    m_dialog = std::make_unique<TfmDirectory>(m_owner.get());
    const std::string table = "27 1 254:0 / / rw - ext4 /dev/vda1 rw\n"
                              "40 27 11:0 / " +
                              local(m_disc) +
                              " ro - iso9660 /dev/sr0 ro\n"
                              "41 27 8:17 / /media/ann/MY\\040STICK rw - vfat /dev/sdb1 rw\n"
                              "42 27 0:60 / /mnt/tools/env/v1/lib ro - tmpfs tmpfs ro\n";
    m_dialog->setMountTableSource([table] { return table; });
}

void TestDirectory::cleanup()
{
    m_dialog.reset();
    m_owner.reset();
    vidlume::ui::setMessageBoxes(nullptr);
}

void TestDirectory::clickEntry(const QModelIndex& index)
{
    QTreeView* tree = m_dialog->stview_selectdir;
    tree->scrollTo(index);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
    QCOMPARE(tree->currentIndex(), index);
}

void TestDirectory::rightClick(const QModelIndex& index)
{
    QTreeView* tree = m_dialog->stview_selectdir;
    tree->scrollTo(index);
    const QPoint at = tree->visualRect(index).center();
    QTest::mousePress(tree->viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree->viewport(), &request);
    QTest::mouseRelease(tree->viewport(), Qt::RightButton, {}, at);
}

QModelIndex TestDirectory::entryOfRoot(int row) const
{
    const FolderTreeModel* tree = m_dialog->folderTree();
    return tree->index(row, 0, tree->rootIndex());
}

QString TestDirectory::selectedPath() const
{
    return m_dialog->folderTree()->pathOf(m_dialog->stview_selectdir->currentIndex());
}

void TestDirectory::everyOpeningSelectsTheFileSystemRootWithOkEnabled()
{
    for (int opening = 0; opening < 3; ++opening) {
        m_dialog->show();
        QCOMPARE(selectedPath(), QStringLiteral("/"));
        QVERIFY(m_dialog->btnOk->isEnabled());
        // Leave with "Computer", which disables OK, selected, as a user might.
        clickEntry(entryOfRoot(1));
        QVERIFY(!m_dialog->btnOk->isEnabled());
        m_dialog->close();
    }
}

void TestDirectory::okRuleFollowsTheClickedEntry()
{
    m_dialog->show();
    const FolderTreeModel* tree = m_dialog->folderTree();
    clickEntry(tree->rootIndex());
    QVERIFY(m_dialog->btnOk->isEnabled());
    // Every row is a folder but "Computer", which gathers the file system and the volumes.
    const bool enabledForRow[] = {true, false, true, true, true, true};
    QCOMPARE(m_dialog->folderTree()->kindOf(entryOfRoot(1)), FolderTreeModel::Kind::Computer);
    for (int row = 0; row < 6; ++row) {
        clickEntry(entryOfRoot(row));
        QVERIFY2(m_dialog->btnOk->isEnabled() == enabledForRow[row], qPrintable(QString::number(row)));
    }
    // Other buttons are no clicks: they leave the selection, and so the rule, alone.
    QTreeView* view = m_dialog->stview_selectdir;
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        const QPoint computer = view->visualRect(entryOfRoot(1)).center();
        QTest::mouseClick(view->viewport(), button, {}, computer);
        QTest::mouseDClick(view->viewport(), button, {}, computer);
        QCOMPARE(view->currentIndex(), entryOfRoot(5));
        QVERIFY(m_dialog->btnOk->isEnabled());
    }

    m_dialog->selectPath(local(m_home.path() + "/work/deep"));
    clickEntry(m_dialog->stview_selectdir->currentIndex());
    QCOMPARE(FolderTreeModel::levelOf(m_dialog->stview_selectdir->currentIndex()), 3);
    QVERIFY(m_dialog->btnOk->isEnabled());

    // A hidden folder exists but is not in the tree: nothing is selected, and OK is off.
    QVERIFY(QDir(m_home.path()).mkpath(".config/secret"));
    m_dialog->selectPath(local(m_home.path() + "/.config/secret"));
    QVERIFY(!m_dialog->stview_selectdir->selectionModel()->hasSelection());
    m_dialog->stview_selectdirClick();
    QVERIFY(!m_dialog->btnOk->isEnabled());
}

void TestDirectory::treeListsFoldersOnlySortedAndReadAfreshAtEachOpening()
{
    m_dialog->show();
    FolderTreeModel* tree = m_dialog->folderTree();
    const QModelIndex root = tree->rootIndex();
    QCOMPARE(FolderTreeModel::levelOf(root), 0);
    QCOMPARE(tree->pathOf(root), m_home.path() + "/Desktop");
    QStringList names;
    for (int row = 0; row < tree->rowCount(root); ++row)
        names << tree->index(row, 0, root).data().toString();
    // A name that is not valid UTF-8 is listed too, and chosen with its bytes.
    QCOMPARE(names, (QStringList{"Home", "Computer", "alpha", "Beta", QString::fromUtf8("caf\uFFFD"), "clip 9",
                                 "clip 10"}));
    QCOMPARE(tree->pathOf(entryOfRoot(0)), m_home.path());
    QVERIFY(tree->pathOf(entryOfRoot(1)).isEmpty());
    QCOMPARE(tree->pathOf(entryOfRoot(3)), m_home.path() + "/Desktop/Beta");
    const std::string cafe = local(m_home.path()) + "/Desktop/caf\xE9";
    QCOMPARE(tree->localPathOf(entryOfRoot(4)), cafe);
    // Its tooltip tells it apart from a "caf\uFFFD" written in UTF-8.
    QCOMPARE(entryOfRoot(4).data(Qt::ToolTipRole).toString(), m_home.path() + "/Desktop/caf\\xE9");
    clickEntry(entryOfRoot(4));
    m_dialog->btnOk->click();
    QCOMPARE(m_dialog->SelectedDir, cafe);
    m_dialog->show();

    // "Computer": the file system root, then the volumes a user mounted.
    const QModelIndex computer = entryOfRoot(1);
    QCOMPARE(tree->rowCount(computer), 2);
    QCOMPARE(tree->pathOf(tree->index(0, 0, computer)), QStringLiteral("/"));
    QCOMPARE(tree->pathOf(tree->index(1, 0, computer)), QStringLiteral("/media/ann/MY STICK"));
    QCOMPARE(tree->index(1, 0, computer).data().toString(), QStringLiteral("MY STICK"));

    // Folders are listed when first expanded; a later folder shows at the next opening.
    const QModelIndex work = tree->indexOfPath(m_home.path() + "/work");
    QCOMPARE(tree->rowCount(work), 0);
    QVERIFY(tree->hasChildren(work));
    tree->fetchMore(work);
    QCOMPARE(tree->rowCount(work), 1);
    QVERIFY(QDir(m_home.path()).mkpath("work/later"));
    m_dialog->close();
    m_dialog->show();
    m_dialog->selectPath(local(m_home.path() + "/work/later"));
    QCOMPARE(selectedPath(), m_home.path() + "/work/later");
}

void TestDirectory::folderNamesSortInOneConsistentOrder()
{
    using vidlume::ui::compareNaturally;
    // std::sort needs a strict weak order: names in other scripts' digits among
    // numbers and letters must not make a circle.
    QStringList names{"10", "9", "a", "B", "x10", "x9"};
    for (const char* digits : {"\u06f5", "\u0663\u0660", "x\u06f5"})
        names << QString::fromUtf8(digits);
    for (const QString& a : names) {
        QCOMPARE(compareNaturally(a, a), 0);
        for (const QString& b : names) {
            QCOMPARE(compareNaturally(a, b) < 0, compareNaturally(b, a) > 0);
            for (const QString& c : names) {
                if (compareNaturally(a, b) < 0 && compareNaturally(b, c) < 0)
                    QVERIFY2(compareNaturally(a, c) < 0, qPrintable(a + " < " + b + " < " + c));
            }
        }
    }
}

void TestDirectory::okOnADiskFolderAcceptsExactlyTheTreesPath()
{
    // Run modally as the main window does; the clicks come from inside the modal loop.
    QTimer::singleShot(0, m_dialog.get(), [this] {
        m_dialog->selectPath(local(m_home.path() + "/work/deep/"));
        m_dialog->btnOk->click();
    });
    QTimer::singleShot(10000, m_dialog.get(), &QDialog::reject); // never hang the test run
    m_dialog->exec();
    QCOMPARE(QString::fromStdString(m_dialog->SelectedDir), m_home.path() + "/work/deep");
    QVERIFY(!m_dialog->isVisible());

    m_dialog->show();
    m_dialog->btnOk->click();
    QCOMPARE(m_dialog->SelectedDir, std::string("/"));

    m_dialog->show();
    clickEntry(m_dialog->folderTree()->rootIndex());
    m_dialog->btnOk->click();
    QCOMPARE(QString::fromStdString(m_dialog->SelectedDir), m_home.path() + "/Desktop");
    QVERIFY(m_boxes.shown.isEmpty());
}

void TestDirectory::okOnACdRomFolderIsRefusedAndTheDialogStaysOpen()
{
    m_dialog->SelectedDir = "/accepted/before";
    m_dialog->show();
    m_dialog->selectPath(local(m_disc + "/videos"));
    m_dialog->btnOk->click();
    QVERIFY(m_dialog->isVisible());
    QVERIFY(m_dialog->SelectedDir.empty());
    QCOMPARE(selectedPath(), m_disc + "/videos");
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].caption, QStringLiteral("Vidlume"));
    QCOMPARE(m_boxes.shown[0].text,
             QStringLiteral("Output folder cannot be located in CD-ROM.Please select another folder."));
    QCOMPARE(m_boxes.shown[0].icon, MessageIcon::Information);

    // Another folder is then taken.
    m_dialog->selectPath(local(m_home.path()));
    m_dialog->btnOk->click();
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(QString::fromStdString(m_dialog->SelectedDir), m_home.path());

    // Closed with the close box after a refusal, the result stays empty.
    m_dialog->show();
    m_dialog->selectPath(local(m_disc));
    m_dialog->btnOk->click();
    m_dialog->close();
    QVERIFY(m_dialog->SelectedDir.empty());
}

void TestDirectory::cancelEmptiesTheResultWhileCloseBoxAndEscapeKeepIt()
{
    m_dialog->show();
    m_dialog->selectPath(local(m_home.path() + "/work"));
    m_dialog->btnOk->click();
    const std::string accepted = local(m_home.path() + "/work");
    QCOMPARE(m_dialog->SelectedDir, accepted);

    // Escape and Enter are bound to neither button: in the tree they leave the
    // dialog open; only a focused button answers Enter, as a click.
    m_dialog->show();
    QTest::keyClick(m_dialog->stview_selectdir, Qt::Key_Escape);
    QTest::keyClick(m_dialog->stview_selectdir, Qt::Key_Return);
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(m_dialog->SelectedDir, accepted);
    m_dialog->btnCancel->setFocus();
    QTest::keyClick(m_dialog->btnCancel, Qt::Key_Escape);
    QVERIFY(m_dialog->isVisible());
    QTest::keyClick(m_dialog->btnCancel, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(m_dialog->SelectedDir.empty());
    m_dialog->show();
    m_dialog->btnOk->setFocus();
    QTest::keyClick(m_dialog->btnOk, Qt::Key_Return);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->SelectedDir, std::string("/"));
    m_dialog->SelectedDir = accepted;

    m_dialog->close();
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->SelectedDir, accepted);

    m_dialog->show();
    m_dialog->btnCancel->click();
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(m_dialog->SelectedDir.empty());
}

void TestDirectory::outerSizeAndPlacementAtEveryShowing()
{
    m_dialog->show();
    QCOMPARE(m_dialog->frameGeometry().size(), QSize(322, 351));
    const QRect owner = m_owner->frameGeometry();
    QCOMPARE(m_dialog->frameGeometry().topLeft(),
             QPoint(owner.left() + (owner.width() - 322) / 2, owner.top() + (owner.height() - 351) / 2));
    m_dialog->close();

    // Another size between showings, and a move by the user: the size is set again,
    // the place is kept.
    m_dialog->setFixedSize(200, 150);
    m_dialog->move(40, 30);
    m_dialog->show();
    QCOMPARE(m_dialog->frameGeometry().size(), QSize(322, 351));
    QCOMPARE(m_dialog->frameGeometry().topLeft(), QPoint(40, 30));

    // The user may make it larger, not smaller: the tree takes the room, the
    // buttons stay below it.
    const QSize laidOut = m_dialog->size();
    m_dialog->resize(laidOut + QSize(200, 100));
    QCOMPARE(m_dialog->size(), laidOut + QSize(200, 100));
    QCOMPARE(m_dialog->stview_selectdir->width(), laidOut.width() + 200 - 16);
    QCOMPARE(m_dialog->btnOk->geometry().top(), m_dialog->stview_selectdir->geometry().bottom() + 9);
    m_dialog->resize(100, 100);
    QCOMPARE(m_dialog->size(), laidOut);

    // The prompt is not cut off at its laid-out width.
    QVERIFY(m_dialog->lbl1->width() >= m_dialog->lbl1->sizeHint().width());
    // It names the tree for screen readers, which know the two as label and field.
    QCOMPARE(m_dialog->lbl1->buddy(), m_dialog->stview_selectdir);
    QCOMPARE(QAccessible::queryAccessibleInterface(m_dialog->stview_selectdir)->text(QAccessible::Name),
             m_dialog->lbl1->text());
    m_dialog->close();

    // The chooser made at start-up has no owner: it is centred over the main window
    // all the same, even when that window is not the active one.
    QMainWindow main;
    main.setGeometry(300, 200, 481, 421);
    main.show();
    QWidget other;
    other.setGeometry(0, 0, 100, 100);
    other.show();
    other.activateWindow();
    TfmDirectory unowned;
    unowned.show();
    const QRect frame = main.frameGeometry();
    QCOMPARE(unowned.frameGeometry().topLeft(),
             QPoint(frame.left() + (frame.width() - 322) / 2, frame.top() + (frame.height() - 351) / 2));
    unowned.close();

    // Over a small owner at the screen's corner, the title bar stays on the screen.
    QWidget small;
    small.setGeometry(0, 0, 120, 90);
    small.show();
    TfmDirectory cornered(&small);
    cornered.show();
    const QRect screen = small.screen()->availableGeometry();
    QVERIFY(cornered.frameGeometry().top() >= screen.top());
    QVERIFY(cornered.frameGeometry().left() >= screen.left());
}

void TestDirectory::startFolderThatDoesNotExistIsReportedAndLeavesOkAlone()
{
    m_dialog->show();
    clickEntry(entryOfRoot(1));
    QVERIFY(!m_dialog->btnOk->isEnabled());
    m_dialog->close();

    const QString missing = m_home.path() + "/no such folder";
    m_dialog->setStartFolder(local(m_home.path() + "//./no such folder"));
    m_dialog->show();
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(m_dialog->frameGeometry().size(), QSize(322, 351));
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].caption, QStringLiteral("Vidlume"));
    QCOMPARE(m_boxes.shown[0].text, "Error setting path: \"" + missing + "\"");
    QCOMPARE(m_boxes.shown[0].icon, MessageIcon::Error);
    QVERIFY(!m_dialog->btnOk->isEnabled());
}

void TestDirectory::okNeverStaysEnabledWithoutASelection()
{
    m_dialog->show();
    QTreeView* tree = m_dialog->stview_selectdir;
    tree->collapse(entryOfRoot(1)); // leaves room below the last entry
    const QModelIndex work = m_dialog->folderTree()->indexOfPath(m_home.path() + "/work");
    clickEntry(work);
    QVERIFY(m_dialog->btnOk->isEnabled());

    // A click on empty space keeps the selection, as a folder tree does.
    const QPoint empty(5, tree->viewport()->height() - 3);
    QVERIFY(!tree->indexAt(empty).isValid());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, empty);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, empty);
    QCOMPARE(selectedPath(), m_home.path() + "/work");
    QVERIFY(tree->selectionModel()->isSelected(work));
    QVERIFY(m_dialog->btnOk->isEnabled());

    // A selection taken away all the same (Ctrl+click, Ctrl+Space) disables Ok.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier, tree->visualRect(work).center());
    QVERIFY(!tree->selectionModel()->hasSelection());
    QVERIFY(!m_dialog->btnOk->isEnabled());
    clickEntry(work);
    QVERIFY(m_dialog->btnOk->isEnabled());
    QTest::keyClick(tree, Qt::Key_Space, Qt::ControlModifier);
    QVERIFY(!tree->selectionModel()->hasSelection());
    QVERIFY(!m_dialog->btnOk->isEnabled());
}

void TestDirectory::rightClickOnAFolderOffersTheFolderMenu()
{
    RecordingLauncher launcher;
    m_dialog->setLauncher(&launcher);
    m_dialog->show();
    FolderTreeModel* tree = m_dialog->folderTree();
    const QString work = m_home.path() + "/work";
    QStringList offered;
    bool highlighted = false;
    whenShown([&](QWidget* menu) {
        for (QAction* action : static_cast<QMenu*>(menu)->actions())
            offered << action->text();
        // The folder that the menu is for is highlighted while it is open.
        highlighted = m_dialog->stview_selectdir->selectionModel()->isSelected(tree->indexOfPath(work));
        trigger(menu, "Copy Path");
    });
    rightClick(tree->indexOfPath(work));
    QCOMPARE(offered, QStringList({"Open in File Manager", "New Folder...", "", "Copy Path"}));
    QCOMPARE(QGuiApplication::clipboard()->text(), work);
    QVERIFY(highlighted);
    QCOMPARE(selectedPath(), QStringLiteral("/")); // then the selection is where it was

    whenShown([&](QWidget* menu) { trigger(menu, "Open in File Manager"); });
    rightClick(tree->indexOfPath(work));
    QCOMPARE(launcher.folders, std::vector<std::string>{local(work)});

    // A new folder, named as offered, is made, listed and selected with Ok enabled.
    clickEntry(entryOfRoot(1));
    QVERIFY(!m_dialog->btnOk->isEnabled());
    for (const QString name : {"New Folder", "New Folder 2"}) {
        QString offeredName;
        whenShown([&](QWidget* menu) {
            whenShown([&](QWidget* input) {
                offeredName = static_cast<QInputDialog*>(input)->textValue();
                static_cast<QInputDialog*>(input)->accept();
            });
            trigger(menu, "New Folder...");
        });
        rightClick(tree->indexOfPath(work));
        QCOMPARE(offeredName, name);
        QVERIFY(QFileInfo(work + "/" + name).isDir());
        QCOMPARE(selectedPath(), work + "/" + name);
        QVERIFY(m_dialog->btnOk->isEnabled());
    }
    QVERIFY(m_boxes.shown.isEmpty());

    // "Computer" is no folder and has no menu.
    rightClick(entryOfRoot(1));
    QVERIFY(!QApplication::activePopupWidget());
    QDir(work + "/New Folder").removeRecursively();
    QDir(work + "/New Folder 2").removeRecursively();
}

QTEST_MAIN(TestDirectory)
#include "test_directory.moc"
