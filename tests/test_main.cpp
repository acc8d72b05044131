#include "RecordingMessageBoxes.h"
#include "app/Error.h"
#include "app/GlobalUnit.h"
#include "page/BuildPlayerPage.h"
#include "RecordingLauncher.h"
#include "ui/MessageBoxes.h"
#include "ui/OpenDialog.h"
#include "ui/directory.h"
#include "ui/main.h"
#include "ui/SiteDialog.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <QAbstractItemView>
#include <QCompleter>
#include <QListWidget>
#include <QUrl>
#include <QMimeData>
#include <QDragEnterEvent>
#include <QDropEvent>
#include "ui/LocalPaths.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

using vidlume::ui::MessageIcon;

using vidlume::test::RecordingLauncher;

namespace {

void writeFile(const QString& path, const QByteArray& bytes = "bytes")
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Runs act on the next modal window once it is on screen: the real dialog, not a
/// seam. act must close it.
void whenModalShows(std::function<void(QWidget*)> act, int triesLeft = 500)
{
    QTimer::singleShot(10, [act, triesLeft] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible())
            act(modal);
        else if (triesLeft > 0)
            whenModalShows(act, triesLeft - 1);
    });
}

/// Types into the file dialog's name box and confirms with Enter, as a user does;
/// a dialog that stays open all the same is closed.
void typeFileNameAndEnter(QWidget* dialog, const QString& name)
{
    auto* box = dialog->findChild<QLineEdit*>("fileNameEdit");
    // The dialog fills the name box from its list unless the box has the focus.
    QApplication::setActiveWindow(dialog);
    box->setFocus();
    QTest::keyClicks(box, name);
    // Enter first takes the completion that the list offers, if it is open.
    if (box->completer() && box->completer()->popup()->isVisible())
        QTest::keyClick(box->completer()->popup(), Qt::Key_Return);
    QTest::keyClick(box, Qt::Key_Return);
    if (dialog->isVisible())
        dialog->close();
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private:
    RecordingMessageBoxes m_boxes;
    RecordingLauncher m_launcher;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QTemporaryDir> m_program;
    std::unique_ptr<TfrmMain> m_window;
    int m_publishCalls = 0;

    template <typename Widget> Widget* control(const char* name)
    {
        auto* widget = m_window->findChild<Widget*>(name);
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    QLineEdit* edit(const char* name) { return control<QLineEdit>(name); }
    QPushButton* button(const char* name) { return control<QPushButton>(name); }
    vidlume::ui::OpenDialog* openDialog() { return control<vidlume::ui::OpenDialog>("OpenDialog1"); }
    void click(QAbstractButton* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

    QString homeFile(const QString& name) const { return m_home->filePath(name); }
    QString settingsPath() const { return m_program->filePath("vidlume.ini"); }

    /// Chooses a video through the video dialog, as a user would.
    QString chooseVideo(const QByteArray& bytes = "FLV video bytes")
    {
        const QString path = homeFile("holiday.flv");
        writeFile(path, bytes);
        openDialog()->setNextAnswer(path);
        click(button("btn_videofile"));
        return path;
    }

    /// A generation that records its inputs and answers as given.
    vidlume::ui::PublishFunction fakePublisher(vidlume::PublishResult result,
                                               vidlume::PageInputs* seen = nullptr)
    {
        return [this, result, seen](const vidlume::PageInputs& inputs, const std::string&,
                                    const vidlume::PublishControl&) {
            ++m_publishCalls;
            if (seen)
                *seen = inputs;
            return result;
        };
    }

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        m_program = std::make_unique<QTemporaryDir>();
        qputenv("HOME", QFile::encodeName(m_home->path()));
        m_boxes.shown.clear();
        m_launcher = {};
        m_publishCalls = 0;
        vidlume::ui::setMessageBoxes(&m_boxes);

        m_window = std::make_unique<TfrmMain>();
        vidlume::GlobalObject->SetSettingsFileName(settingsPath().toStdString());
        m_window->setLauncher(&m_launcher);
        m_window->setProgramFolder(m_program->path().toStdString());
    }

    void cleanup()
    {
        m_window.reset();
        fmDirectory = nullptr; // the window owned the chooser it made
        vidlume::ui::setMessageBoxes(nullptr);
    }

    void startState()
    {
        m_window->show();

        for (const char* name :
             {"btn_videofile", "cbb_videosize", "chk_autoplay", "chk_html5", "edt_videopath",
              "edt_flvplayerpath", "btn_videopathhelp", "btn_flvplayerpath", "chk_thumbnail", "chk_logo",
              "rb_topleft", "rb_topright", "rb_bottomleft", "rb_bottomright", "btn_outputdir", "btn_open"})
            QVERIFY2(control<QWidget>(name)->isEnabled(), name);
        for (const char* name : {"btn_start", "btn_thumbnailimage", "btn_logoimage", "trc_logoalpha"})
            QVERIFY2(!control<QWidget>(name)->isEnabled(), name);
        // The fields that take no typing are read-only and out of the Tab chain.
        for (const char* name : {"edt_logolink", "edt_logowidth", "edt_videofile", "edt_thumbnailimage",
                                 "edt_logoimage", "edt_outputdir"})
            QVERIFY2(edit(name)->isReadOnly() && !(edit(name)->focusPolicy() & Qt::TabFocus), name);
        for (auto* radio : m_window->findChildren<QRadioButton*>())
            QVERIFY(!radio->isChecked());
        QCOMPARE(control<QLabel>("lbl_position")->text(), "0");
        QVERIFY(control<QCheckBox>("chk_html5")->isChecked());
        QCOMPARE(control<QComboBox>("cbb_videosize")->currentText(), "320x240");

        QCOMPARE(control<QWidget>("clientArea")->size(), QSize(481, 421));
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize());

        // The default output folder is created silently and nothing is written.
        QCOMPARE(edit("edt_outputdir")->text(), homeFile("vidlume"));
        QVERIFY(QFileInfo(homeFile("vidlume")).isDir());
        QVERIFY(m_boxes.shown.isEmpty());
        QVERIFY(!QFile::exists(settingsPath()));
    }

    void noCaptionIsCutOffAndNoControlCoversAnother()
    {
        m_window->show();
        for (auto* button : m_window->findChildren<QAbstractButton*>()) {
            if (button->text().isEmpty() || !button->isVisible())
                continue;
            // A push button's hint holds the style's minimum width too; its caption needs only its text.
            const int needed = qobject_cast<QPushButton*>(button)
                                   ? button->fontMetrics().horizontalAdvance(button->text()) + 6
                                   : button->sizeHint().width();
            QVERIFY2(button->width() >= needed, qPrintable(button->objectName() + ": " +
                                                           QString::number(button->width()) + " < " +
                                                           QString::number(needed)));
            QVERIFY2(button->height() >= button->fontMetrics().height(), qPrintable(button->objectName()));
            // Nothing else in its box lies over it.
            for (auto* other : button->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (other != button && other->isVisible() &&
                    other->geometry().intersects(button->geometry()))
                    QFAIL(qPrintable(button->objectName() + " lies under " + other->objectName()));
            }
        }
    }

    void fieldsFollowTheWindowsPaletteAndTheirTextCanBeCopied()
    {
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(53, 53, 53));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Base, QColor(35, 35, 35));
        dark.setColor(QPalette::Text, Qt::white);
        dark.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
        const QPalette light = QApplication::palette();
        m_window->show();
        click(control<QCheckBox>("chk_logo"));
        const QStringList readOnly = {"edt_videofile", "edt_thumbnailimage", "edt_logoimage", "edt_outputdir"};
        for (const QPalette& theme : {dark, light}) {
            QApplication::setPalette(theme);
            QCoreApplication::processEvents();
            // Typed text shows on the palette's own field colour.
            for (const char* name : {"edt_logolink", "edt_logowidth", "edt_videopath"}) {
                QCOMPARE(edit(name)->palette().color(QPalette::Base), theme.color(QPalette::Base));
                QCOMPARE(edit(name)->palette().color(QPalette::Text), theme.color(QPalette::Text));
            }
            // The fields that take no typing lie on the window's colour, with readable text.
            for (const QString& name : readOnly) {
                QLineEdit* field = edit(qPrintable(name));
                QCOMPARE(field->palette().color(QPalette::Base), theme.color(QPalette::Window));
                QCOMPARE(field->palette().color(QPalette::Text), theme.color(QPalette::Text));
            }
            // Switched off, the logo fields are dimmed as well.
            click(control<QCheckBox>("chk_logo"));
            QCOMPARE(edit("edt_logolink")->palette().color(QPalette::Base), theme.color(QPalette::Window));
            QCOMPARE(edit("edt_logolink")->palette().color(QPalette::Text),
                     theme.color(QPalette::Disabled, QPalette::Text));
            click(control<QCheckBox>("chk_logo"));
        }

        // Fields that take no typing still give their text away.
        for (const QString& name : readOnly + QStringList{"edt_logolink"}) {
            if (name == "edt_logolink")
                click(control<QCheckBox>("chk_logo"));
            QLineEdit* field = edit(qPrintable(name));
            field->setText("/srv/" + name);
            QVERIFY(field->isReadOnly());
            QVERIFY(!(field->focusPolicy() & Qt::TabFocus));
            QTest::mouseClick(field, Qt::LeftButton);
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(QGuiApplication::clipboard()->text(), "/srv/" + name);
        }
    }

    void everyControlIsNamedForScreenReaders()
    {
        m_window->show();
        const auto named = [](QWidget* widget) {
            return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
        };
        // A field is named by its label, which it is tied to.
        const std::pair<const char*, const char*> fields[] = {
            {"Label1", "edt_videofile"},       {"Label2", "edt_videopath"},  {"Label3", "edt_flvplayerpath"},
            {"Label4", "edt_thumbnailimage"},  {"Label5", "edt_logoimage"},  {"Label11", "edt_logolink"},
            {"Label12", "edt_logowidth"},      {"Label10", "edt_outputdir"},
        };
        for (const auto& [labelName, fieldName] : fields) {
            auto* label = control<QLabel>(labelName);
            QCOMPARE(label->buddy(), control<QWidget>(fieldName));
            QCOMPARE(named(label->buddy()), label->text());
        }
        // The combo box is named by its label and holds its text as its value.
        auto* size = control<QComboBox>("cbb_videosize");
        QCOMPARE(named(size), "Vide Size");
        size->setEditText("400x300");
        QCOMPARE(QAccessible::queryAccessibleInterface(size)->text(QAccessible::Value), "400x300");
        const auto sizeLabels = QAccessible::queryAccessibleInterface(size)->relations(QAccessible::Label);
        QVERIFY(!sizeLabels.isEmpty());
        QCOMPARE(sizeLabels.front().first->text(QAccessible::Name), "Vide Size:");
        auto* alpha = control<QSlider>("trc_logoalpha");
        QCOMPARE(named(alpha), "Logo Alpha");
        alpha->setValue(35);
        QCOMPARE(QAccessible::queryAccessibleInterface(alpha)->valueInterface()->currentValue().toInt(), 35);
        QCOMPARE(named(control<QWidget>("GroupBox3")), "Logo Position");

        // Buttons of one caption say what they serve, and their names begin with the caption.
        QStringList buttonNames;
        for (const char* name : {"btn_videofile", "btn_thumbnailimage", "btn_logoimage", "btn_outputdir",
                                 "btn_videopathhelp", "btn_flvplayerpath"}) {
            auto* widget = button(name);
            QVERIFY2(named(widget).startsWith(widget->text() + " "), name);
            QVERIFY2(!widget->accessibleDescription().isEmpty(), name);
            buttonNames << named(widget);
        }
        buttonNames.removeDuplicates();
        QCOMPARE(buttonNames.size(), 6);
        QCOMPARE(button("btn_videofile")->text(), "Browse");
        QCOMPARE(button("btn_videopathhelp")->text(), "Help");

        // The Tab order stays as it was.
        QStringList order;
        QWidget* at = button("btn_videofile");
        do {
            if (at->isEnabled() && at->isVisible() && (at->focusPolicy() & Qt::TabFocus) &&
                !at->objectName().isEmpty())
                order << at->objectName();
            at = at->nextInFocusChain();
        } while (at != button("btn_videofile"));
        QCOMPARE(order, QStringList({"btn_videofile", "cbb_videosize", "chk_autoplay", "chk_html5", "edt_videopath",
                                     "btn_videopathhelp", "edt_flvplayerpath", "btn_flvplayerpath", "chk_thumbnail",
                                     "chk_logo", "rb_topleft", "rb_topright", "rb_bottomleft", "rb_bottomright",
                                     "btn_outputdir", "btn_open"}));
    }

    void aDroppedVideoOrOneNamedAtStartIsTakenAsBrowseTakesIt()
    {
        m_window->show();
        const QString video = homeFile("holiday.flv");
        writeFile(video);
        const auto drop = [this](const QString& path, const QString& also = {}) {
            QMimeData data;
            QList<QUrl> urls{QUrl::fromLocalFile(path)};
            if (!also.isEmpty())
                urls << QUrl::fromLocalFile(also);
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(m_window.get(), &enter);
            if (!enter.isAccepted())
                return false;
            QDropEvent dropped(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(m_window.get(), &dropped);
            return true;
        };
        // A folder opens "Publish Many Videos" with it as its source (Ctrl+M opens it empty).
        QCOMPARE(control<QAction>("PublishMany1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
        QStringList siteSources;
        QTimer::singleShot(0, this, [&siteSources] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<vidlume::ui::SiteDialog*>(widget); dialog && dialog->isVisible()) {
                    auto* list = dialog->findChild<QListWidget*>("lst_sources");
                    for (int row = 0; row < list->count(); ++row)
                        siteSources << list->item(row)->text();
                    dialog->reject();
                }
        });
        QVERIFY(drop(m_home->path()));
        QCOMPARE(siteSources, QStringList{m_home->path()});
        QCOMPARE(edit("edt_videofile")->text(), "");
        // A picture is no video either: the status line says so and the field stays empty.
        const QString picture = homeFile("thumb.jpg");
        writeFile(picture, "\xFF\xD8\xFF\xE0");
        QVERIFY(drop(picture));
        QCOMPARE(edit("edt_videofile")->text(), "");
        QVERIFY(control<QLabel>("lbl_published")->accessibleName().contains("not a video"));
        QVERIFY(!button("btn_start")->isEnabled());
        QVERIFY(drop(video));
        QCOMPARE(edit("edt_videofile")->text(), video);
        QVERIFY(button("btn_start")->isEnabled());
        // Among several, the video is taken.
        const QString other = homeFile("other.flv");
        writeFile(other);
        QVERIFY(drop(picture, other));
        QCOMPARE(edit("edt_videofile")->text(), other);
        QVERIFY(control<QLabel>("lbl_published")->accessibleName().contains("1 other file was passed over"));

        // "vidlume trip.flv", started in the video's folder.
        const QString trip = homeFile("trip.flv");
        writeFile(trip);
        const QString before = QDir::currentPath();
        QDir::setCurrent(m_home->path());
        char program[] = "vidlume";
        char file[] = "trip.flv";
        char* arguments[] = {program, file, nullptr};
        const auto named = vidlume::ui::videoArgument(2, arguments);
        QDir::setCurrent(before);
        QVERIFY(named);
        QCOMPARE(*named, trip.toStdString());
        QVERIFY(!vidlume::ui::videoArgument(1, arguments));
        m_window->openVideos({*named});
        QCOMPARE(edit("edt_videofile")->text(), trip);
        QVERIFY(button("btn_start")->isEnabled());
    }

    void theStatusLineSaysWhereTheGenerationPublishedAndOffersItsPage()
    {
        m_window->show();
        m_window->setPublisher(fakePublisher({"/out/my holiday", {}, {}}));
        chooseVideo();
        QVERIFY(!button("btn_openpage")->isVisible());
        click(button("btn_start"));

        auto* published = control<QLabel>("lbl_published");
        QCOMPARE(published->text(), "Published to /out/my holiday");
        QVERIFY(button("btn_openpage")->isVisible());
        click(button("btn_openpage"));
        QCOMPARE(m_launcher.urls, std::vector<std::string>{"file:///out/my%20holiday/index.htm"});
        click(button("btn_copypageaddress"));
        QCOMPARE(QGuiApplication::clipboard()->text(), "file:///out/my%20holiday/index.htm");
        // The file browser still shows the new folder.
        QCOMPARE(m_launcher.folders, std::vector<std::string>{"/out/my holiday"});

        // "Upload…" beside them opens the Upload dialog on the new folder, as the menu's Ctrl+U does.
        QVERIFY(button("btn_upload")->isVisible());
        QString uploading;
        whenModalShows([&uploading](QWidget* dialog) {
            uploading = dialog->findChild<QLineEdit*>("edt_folder")->text();
            dialog->close();
        });
        click(button("btn_upload"));
        QCOMPARE(uploading, "/out/my holiday");
        QCOMPARE(control<QAction>("Upload1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_U));

        // The buttons are buttons that Tab reaches after the form's last control.
        for (const char* name : {"btn_openpage", "btn_copypageaddress"}) {
            QVERIFY2(!button(name)->isFlat(), name);
            QVERIFY2(button(name)->focusPolicy() & Qt::TabFocus, name);
        }
        QCOMPARE(button("btn_open")->nextInFocusChain(), button("btn_openpage"));

        // A failed generation offers nothing of the earlier folder.
        m_window->setPublisher([](const vidlume::PageInputs&, const std::string&,
                                  const vidlume::PublishControl&) -> vidlume::PublishResult {
            throw std::runtime_error("the disk is full");
        });
        click(button("btn_start"));
        QCOMPARE(m_boxes.shown.size(), 1);
        QVERIFY(!button("btn_openpage")->isVisible());
        QVERIFY(!button("btn_copypageaddress")->isVisible());
        QVERIFY(!button("btn_upload")->isVisible());
        QCOMPARE(published->text(), "Not published: the disk is full");
    }

    void captionCarriesTheVersion()
    {
        QCOMPARE(m_window->windowTitle(), "Norvane Vidlume");
        m_window->show();
        const std::string version = vidlume::formatVersionText({VIDLUME_BUILD_VERSION});
        QCOMPARE(m_window->windowTitle(), QString::fromStdString("Norvane Vidlume Free Version" + version));
    }

    void startUpWithAPlainFileInTheWayWarnsAndRecordsTheFolder()
    {
        writeFile(homeFile("vidlume"));
        m_window->show();

        const QString folder = homeFile("vidlume");
        QCOMPARE(m_boxes.shown.size(), 1);
        QCOMPARE(m_boxes.shown[0].caption, "Warning");
        QCOMPARE(m_boxes.shown[0].icon, MessageIcon::None);
        QCOMPARE(m_boxes.shown[0].text,
                 "Can not create output directory:" + folder + ".It will create default directory" + folder);
        QCOMPARE(readFile(settingsPath()), "[settings]\nOutPutDir=" + QFile::encodeName(folder) + "\n");
        QCOMPARE(edit("edt_outputdir")->text(), folder);
    }

    void anUnwritableSettingsFileIsReportedAfterTheWarning()
    {
        writeFile(homeFile("vidlume"));
        writeFile(m_program->filePath("plain"));
        const QString unwritable = m_program->filePath("plain/vidlume.ini");
        vidlume::GlobalObject->SetSettingsFileName(unwritable.toStdString());
        m_window->show();

        QCOMPARE(m_boxes.shown.size(), 2);
        QCOMPARE(m_boxes.shown[1].caption, "Vidlume");
        QCOMPARE(m_boxes.shown[1].icon, MessageIcon::Error);
        QCOMPARE(m_boxes.shown[1].text, "Unable to write to " + unwritable + ".");
        QVERIFY(m_window->isVisible());
    }

    void filterPositionCarriesOverOnlyFromConfirmedDialogs()
    {
        m_window->show();
        click(control<QCheckBox>("chk_thumbnail"));
        click(control<QCheckBox>("chk_logo"));
        writeFile(homeFile("poster.png"));

        openDialog()->setNextAnswer(homeFile("poster.png"), 1);
        click(button("btn_thumbnailimage"));
        QCOMPARE(openDialog()->openedFilterIndex(), 0);
        QCOMPARE(edit("edt_thumbnailimage")->text(), homeFile("poster.png"));

        openDialog()->setNextAnswerCancel();
        click(button("btn_logoimage"));
        QCOMPARE(openDialog()->openedFilterIndex(), 1);
        QCOMPARE(edit("edt_logoimage")->text(), "");

        openDialog()->setNextAnswerCancel();
        click(button("btn_logoimage"));
        QCOMPARE(openDialog()->openedFilterIndex(), 1);
        QCOMPARE(edit("edt_thumbnailimage")->text(), homeFile("poster.png"));

        // The video dialog opens at the same position, its "All files" entry;
        // confirming its first entry moves the position back to that.
        chooseVideo();
        QCOMPARE(openDialog()->openedFilterIndex(), 1);
        openDialog()->setNextAnswerCancel();
        click(button("btn_thumbnailimage"));
        QCOMPARE(openDialog()->openedFilterIndex(), 0);
    }

    void eachBrowseStartsWithAnEmptyNameAndCarriesOnlyTheFilterPosition()
    {
        m_window->show();
        writeFile(homeFile("holiday.flv"));
        writeFile(homeFile("logo.png"));
        click(control<QCheckBox>("chk_thumbnail"));
        click(control<QCheckBox>("chk_logo"));

        QStringList namesAtStart;
        whenModalShows([&](QWidget* dialog) {
            namesAtStart << dialog->findChild<QLineEdit*>("fileNameEdit")->text();
            typeFileNameAndEnter(dialog, homeFile("holiday.flv"));
        });
        click(button("btn_videofile"));
        QCOMPARE(edit("edt_videofile")->text(), homeFile("holiday.flv"));

        whenModalShows([&](QWidget* dialog) {
            namesAtStart << dialog->findChild<QLineEdit*>("fileNameEdit")->text();
            dialog->findChild<QComboBox*>("fileTypeCombo")->setCurrentIndex(1);
            typeFileNameAndEnter(dialog, homeFile("logo.png"));
        });
        click(button("btn_thumbnailimage"));
        QCOMPARE(edit("edt_thumbnailimage")->text(), homeFile("logo.png"));

        // The logo dialog opens with the Png entry and an empty name, so Enter takes nothing.
        QString type;
        bool openAfterEnter = false;
        whenModalShows([&](QWidget* dialog) {
            namesAtStart << dialog->findChild<QLineEdit*>("fileNameEdit")->text();
            type = dialog->findChild<QComboBox*>("fileTypeCombo")->currentText();
            QTest::keyClick(dialog->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
            openAfterEnter = dialog->isVisible();
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        click(button("btn_logoimage"));
        QCOMPARE(namesAtStart, QStringList({"", "", ""}));
        QCOMPARE(type, "Png files (*.png)");
        QVERIFY(openAfterEnter);
        QCOMPARE(edit("edt_logoimage")->text(), "");
        QCOMPARE(edit("edt_videofile")->text(), homeFile("holiday.flv"));
    }

    void nothingOfTheFileDialogStaysOnScreenAfterEnter()
    {
        m_window->setPublisher(fakePublisher({}));
        m_window->show();
        writeFile(homeFile("holiday.flv"));
        whenModalShows([&](QWidget* dialog) {
            auto* box = dialog->findChild<QLineEdit*>("fileNameEdit");
            QApplication::setActiveWindow(dialog);
            box->setFocus();
            QTest::keyClicks(box, homeFile("hol"));
            QTest::qWait(50); // time for a completion list to open
            QTest::keyClicks(box, "iday.flv");
            QTest::keyClick(box, Qt::Key_Return);
            if (dialog->isVisible())
                dialog->close();
        });
        click(button("btn_videofile"));
        QCOMPARE(edit("edt_videofile")->text(), homeFile("holiday.flv"));
        QVERIFY(!QApplication::activePopupWidget());
        for (QWidget* window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible() || window == m_window.get(), qPrintable(window->objectName()));
        click(button("btn_start"));
        QCOMPARE(m_publishCalls, 1);
    }

    void pathsThatAreNotUtf8KeepTheirBytes()
    {
        const QByteArray home = QFile::encodeName(m_home->path()) + "/h\xE9";
        qputenv("HOME", home);
        vidlume::PageInputs seen;
        m_window->setPublisher(fakePublisher({}, &seen));
        m_window->show();
        QVERIFY(std::filesystem::is_directory((home + "/vidlume").toStdString()));
        QCOMPARE(QDir(m_home->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        const std::string video = home.toStdString() + "/caf\xE9.flv";
        std::ofstream(video) << "FLV";

        // A desktop portal hands the file back as a URL whose path carries the bytes.
        openDialog()->setNextAnswerUrl(QUrl::fromEncoded("file://" + home.toPercentEncoding("/") + "/caf%E9.flv"));
        click(button("btn_videofile"));
        QVERIFY(button("btn_start")->isEnabled());
        click(button("btn_start"));
        QCOMPARE(seen.videoFile, video);
        QCOMPARE(seen.outputDir, home.toStdString() + "/vidlume");

        // Where the platform has no dialog, ours lists such a name, and the window keeps its bytes.
        edit("edt_videofile")->clear();
        seen = {};
        QStringList listed;
        whenModalShows([&](QWidget* dialog) {
            auto* list = dialog->findChild<QListWidget*>("fileList");
            for (int row = 0; row < list->count(); ++row)
                listed << list->item(row)->text();
            const auto found = list->findItems(QString::fromUtf8("caf\uFFFD.flv"), Qt::MatchExactly);
            if (!found.isEmpty())
                list->setCurrentItem(found.front());
            typeFileNameAndEnter(dialog, "");
        });
        click(button("btn_videofile"));
        QCOMPARE(listed, QStringList({"vidlume", QString::fromUtf8("caf\uFFFD.flv")}));
        QVERIFY(button("btn_start")->isEnabled());
        click(button("btn_start"));
        QCOMPARE(seen.videoFile, video);

        // The GTK dialog hands back text, each byte that is not UTF-8 as U+FFFD,
        // in the folder's name as in the file's (this URL is what it gave). The
        // one entry shown under that text is taken.
        const QByteArray gtkHome = "file://" + QFile::encodeName(m_home->path()).toPercentEncoding("/") + "/h%EF%BF%BD";
        edit("edt_videofile")->clear();
        seen = {};
        openDialog()->setNextAnswerUrl(QUrl::fromEncoded(gtkHome + "/caf%EF%BF%BD.flv"));
        click(button("btn_videofile"));
        click(button("btn_start"));
        QCOMPARE(seen.videoFile, video);

        // Where two names look alike in that text, which one was picked is lost:
        // our window lists that folder, each look-alike with its bytes on hover.
        const std::string lookAlike = home.toStdString() + "/caf\xE8.flv";
        std::ofstream(lookAlike) << "FLV";
        edit("edt_videofile")->clear();
        seen = {};
        QStringList hovered;
        QString lookedIn;
        whenModalShows([&](QWidget* dialog) {
            lookedIn = dialog->findChild<QLineEdit*>("lookInEdit")->text();
            auto* list = dialog->findChild<QListWidget*>("fileList");
            for (int row = 0; row < list->count(); ++row)
                hovered << list->item(row)->toolTip();
            for (int row = 0; row < list->count(); ++row)
                if (list->item(row)->toolTip().startsWith("caf\\xE8"))
                    list->setCurrentRow(row);
            typeFileNameAndEnter(dialog, "");
        });
        openDialog()->setNextAnswerUrl(QUrl::fromEncoded(gtkHome + "/caf%EF%BF%BD.flv"));
        click(button("btn_videofile"));
        QCOMPARE(lookedIn, QFile::decodeName(home));
        QCOMPARE(hovered, QStringList({"", "caf\\xE8.flv (not valid UTF-8)", "caf\\xE9.flv (not valid UTF-8)"}));
        click(button("btn_start"));
        QCOMPARE(seen.videoFile, lookAlike);

        // Text with no such loss that names no file is no answer.
        edit("edt_videofile")->clear();
        openDialog()->setNextAnswerUrl(QUrl::fromLocalFile(m_home->filePath("gone.flv")));
        click(button("btn_videofile"));
        QVERIFY(edit("edt_videofile")->text().isEmpty());
    }

    void includeLogoSwitchesTheLogoInputsAndKeepsTheirValues()
    {
        m_window->show();
        auto* logo = control<QCheckBox>("chk_logo");
        click(logo);
        for (const char* name : {"btn_logoimage", "edt_logolink", "edt_logowidth", "trc_logoalpha"})
            QVERIFY2(control<QWidget>(name)->isEnabled(), name);
        QVERIFY(edit("edt_logolink")->focusPolicy() & Qt::TabFocus);
        QVERIFY(!edit("edt_logolink")->isReadOnly());
        QVERIFY(!edit("edt_logowidth")->isReadOnly());
        QTest::keyClicks(edit("edt_logolink"), "http://example.com/");
        QTest::keyClicks(edit("edt_logowidth"), "80");
        control<QSlider>("trc_logoalpha")->setValue(40);
        click(control<QRadioButton>("rb_bottomright"));

        click(logo);
        for (const char* name : {"btn_logoimage", "trc_logoalpha"})
            QVERIFY2(!control<QWidget>(name)->isEnabled(), name);
        QVERIFY(!(edit("edt_logolink")->focusPolicy() & Qt::TabFocus));
        QVERIFY(edit("edt_logolink")->isReadOnly());
        QVERIFY(edit("edt_logowidth")->isReadOnly());
        QCOMPARE(edit("edt_logolink")->text(), "http://example.com/");
        QCOMPARE(edit("edt_logowidth")->text(), "80");
        QCOMPARE(control<QLabel>("lbl_position")->text(), "40");
        QVERIFY(control<QRadioButton>("rb_bottomright")->isChecked());
        QVERIFY(control<QRadioButton>("rb_topleft")->isEnabled());
    }

    void logoWidthTakesOnlyTypedDigitsBackspaceAndReturn()
    {
        m_window->show();
        click(control<QCheckBox>("chk_logo"));
        auto* width = edit("edt_logowidth");

        QTest::keyClicks(width, "12a-. 3x");
        QCOMPARE(width->text(), "123");
        QTest::keyClick(width, Qt::Key_Backspace);
        QTest::keyClick(width, Qt::Key_Return);
        QTest::keyClick(width, Qt::Key_Escape);
        QCOMPARE(width->text(), "12");
        QTest::keyClick(width, Qt::Key_Home);
        QTest::keyClick(width, Qt::Key_Delete);
        QCOMPARE(width->text(), "2");

        // Pasted text is not filtered.
        QGuiApplication::clipboard()->setText("4a");
        QTest::keyClick(width, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(width->text(), "4a2");
        // A character typed with Ctrl+Alt or Meta held is still a typed character.
        QTest::keyClick(width, '-', Qt::ControlModifier | Qt::AltModifier);
        QTest::keyClick(width, '.', Qt::MetaModifier);
        QTest::keyClick(width, '7', Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(width->text(), "4a72");

        // Tab still leaves the field.
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        width->setFocus();
        QTest::keyClick(width, Qt::Key_Tab);
        QVERIFY(!width->hasFocus());
    }

    void trackBarLabelFollowsEveryPosition()
    {
        m_window->show();
        click(control<QCheckBox>("chk_logo"));
        auto* alpha = control<QSlider>("trc_logoalpha");
        auto* position = control<QLabel>("lbl_position");
        QTest::keyClick(alpha, Qt::Key_Right);
        QCOMPARE(position->text(), "1");
        QTest::keyClick(alpha, Qt::Key_PageUp);
        QCOMPARE(position->text(), "3");
        QTest::keyClick(alpha, Qt::Key_End);
        QCOMPARE(position->text(), "100");
        QVERIFY(position->width() >= position->sizeHint().width());
    }

    void enterOnAFocusedButtonClicksIt()
    {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        auto* open = button("btn_open");
        open->setFocus();
        QTest::keyClick(open, Qt::Key_Return);
        QTest::keyClick(open, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(m_launcher.folders.size(), 2u);

        const QString video = homeFile("holiday.flv");
        writeFile(video);
        openDialog()->setNextAnswer(video);
        button("btn_videofile")->setFocus();
        QTest::keyClick(button("btn_videofile"), Qt::Key_Return);
        QCOMPARE(edit("edt_videofile")->text(), video);

        // Enter in a field clicks no button.
        edit("edt_videopath")->setFocus();
        QTest::keyClick(edit("edt_videopath"), Qt::Key_Return);
        QCOMPARE(m_launcher.folders.size(), 2u);
        QCOMPARE(m_publishCalls, 0);
    }

    void menuAndHelpCommandsMakeOneRequestPerClick()
    {
        m_window->show();
        const std::string site = vidlume::makerWebSite;
        const std::string flvHelp = site + "/flv/adding-video-to-your-website.htm";
        for (int round = 0; round < 2; ++round) {
            for (const char* name : {"WebSite1", "NorvaneVidmorph1", "Help1"})
                control<QAction>(name)->trigger();
            click(button("btn_videopathhelp"));
            click(button("btn_flvplayerpath"));
        }
        const std::vector<std::string> once = {site + "/vidlume.htm?exe", site + "/vidmorph.htm",
                                               site + "/vidlume-help.htm?exe", flvHelp, flvHelp};
        std::vector<std::string> twice = once;
        twice.insert(twice.end(), once.begin(), once.end());
        QCOMPARE(m_launcher.urls, twice);
        QVERIFY(m_launcher.folders.empty());
    }

    void generateWithoutAVideoWarnsAndMovesTheFocus()
    {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_window->setPublisher(fakePublisher({}));
        edit("edt_videopath")->setFocus();

        m_window->form().btn_startClick();

        QCOMPARE(m_boxes.shown.size(), 1);
        QCOMPARE(m_boxes.shown[0].caption, "Warning");
        QCOMPARE(m_boxes.shown[0].text, "You must choose a video file.");
        QCOMPARE(m_boxes.shown[0].icon, MessageIcon::None);
        QCOMPARE(m_window->focusWidget(), button("btn_videofile"));
        QCOMPARE(m_publishCalls, 0);
    }

    void generateHandsTheWindowsValuesOnAndOpensTheNewFolder()
    {
        m_window->show();
        vidlume::PageInputs seen;
        m_window->setPublisher(fakePublisher({"/out/holiday", {}, {}}, &seen));
        const QString video = chooseVideo();
        control<QComboBox>("cbb_videosize")->setEditText("640x480");
        click(control<QCheckBox>("chk_autoplay"));
        QTest::keyClicks(edit("edt_videopath"), "videos/");
        click(control<QCheckBox>("chk_logo"));
        QTest::keyClicks(edit("edt_logowidth"), "64");
        QTest::keyClicks(edit("edt_logolink"), "http://example.com/?a=1&b=2");
        control<QSlider>("trc_logoalpha")->setValue(30);
        click(control<QRadioButton>("rb_topright"));

        click(button("btn_start"));

        QCOMPARE(m_publishCalls, 1);
        QCOMPARE(seen.videoFile, video.toStdString());
        QCOMPARE(seen.videoSize, "640x480");
        QVERIFY(seen.autoPlay);
        QVERIFY(seen.html5);
        QCOMPARE(seen.videoPath, "videos/");
        QVERIFY(seen.logo && !seen.thumbnail);
        QCOMPARE(seen.logoWidth, "64");
        QCOMPARE(seen.logoLink, "http://example.com/?a=1&b=2");
        QCOMPARE(seen.logoAlpha, 30);
        QCOMPARE(seen.logoPosition, vidlume::LogoPosition::TopRight);
        QCOMPARE(seen.outputDir, homeFile("vidlume").toStdString());
        QVERIFY(m_boxes.shown.isEmpty());
        QCOMPARE(m_launcher.folders, std::vector<std::string>{"/out/holiday"});
    }

    void aFailedGenerationIsReportedAndTheWindowKeepsItsValues()
    {
        m_window->show();
        m_window->setPublisher([](const vidlume::PageInputs&, const std::string&,
                                  const vidlume::PublishControl&) -> vidlume::PublishResult {
            throw vidlume::Error("Cannot create file \"/out/holiday/index.htm\". Permission denied");
        });
        const QString video = chooseVideo();
        QTest::keyClicks(edit("edt_videopath"), "videos/");
        click(button("btn_start"));

        QCOMPARE(m_boxes.shown.size(), 1);
        QCOMPARE(m_boxes.shown[0].caption, "Vidlume");
        QCOMPARE(m_boxes.shown[0].icon, MessageIcon::Error);
        QCOMPARE(m_boxes.shown[0].text, "Cannot create file \"/out/holiday/index.htm\". Permission denied.");
        QVERIFY(m_launcher.folders.empty());
        QCOMPARE(edit("edt_videofile")->text(), video);
        QCOMPARE(edit("edt_videopath")->text(), "videos/");
        QVERIFY(button("btn_start")->isEnabled());
    }

    void aLongGenerationShowsProgressAndCancelRemovesItsFolder()
    {
        m_window->show();
        // The real generation, with its video copy slowed down to well over a second.
        m_window->setPublisher([](const vidlume::PageInputs& inputs, const std::string& programFolder,
                                  const vidlume::PublishControl& control) {
            vidlume::PublishControl slowed = control;
            slowed.copyTuning.firstMethod = vidlume::platform::CopyMethod::CopyFileRange;
            slowed.copyTuning.maxChunkBytes = 64 << 10;
            slowed.copyTuning.afterChunk = [](std::uint64_t) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            };
            return vidlume::publishGeneration(inputs, programFolder, slowed);
        });
        const QString video = chooseVideo(QByteArray(4 << 20, 'v'));

        QString shownLabel;
        QPoint dialogCentre;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, [&] {
            auto* dialog = m_window->findChild<QProgressDialog*>();
            if (!dialog || !dialog->isVisible() || dialog->value() <= 0)
                return;
            shownLabel = dialog->labelText();
            dialogCentre = dialog->frameGeometry().center();
            QVERIFY(dialog->isModal());
            click(dialog->findChild<QPushButton*>());
        });
        watcher.start(20);
        click(button("btn_start"));
        watcher.stop();

        QVERIFY2(shownLabel.contains("holiday.flv"), qPrintable(shownLabel));
        // The copies count their own bytes, not those the MP4 conversion reads after them.
        QVERIFY2(shownLabel.contains(" MiB of 4.0 MiB"), qPrintable(shownLabel));
        QVERIFY((dialogCentre - m_window->frameGeometry().center()).manhattanLength() <= 2);
        QVERIFY(m_boxes.shown.isEmpty());
        QVERIFY(m_launcher.folders.empty());
        QVERIFY(QDir(homeFile("vidlume")).isEmpty());
        QCOMPARE(edit("edt_videofile")->text(), video);
        QVERIFY(!m_window->findChild<QProgressDialog*>());
    }

    void outputFolderBrowseTakesOnlyAChosenFolder()
    {
        m_window->show();
        QTimer::singleShot(0, [] {
            fmDirectory->SelectedDir = "/srv/web";
            fmDirectory->accept();
        });
        click(button("btn_outputdir"));
        QCOMPARE(edit("edt_outputdir")->text(), "/srv/web");

        QTimer::singleShot(0, [] {
            fmDirectory->SelectedDir.clear();
            fmDirectory->reject();
        });
        click(button("btn_outputdir"));
        QCOMPARE(edit("edt_outputdir")->text(), "/srv/web");
    }

    void aFullGenerationFromTheWindow()
    {
        m_window->show();
        writeFile(m_program->filePath("flvplayer1.swf"), "player bytes");
        const QString video = chooseVideo();
        QTest::keyClicks(edit("edt_videopath"), "media/");
        // Unchecked, "HTML5 Player" leaves the page for the Flash player alone.
        click(control<QCheckBox>("chk_html5"));
        click(button("btn_start"));

        const QString folder = homeFile("vidlume/holiday");
        QVERIFY(m_boxes.shown.isEmpty());
        QCOMPARE(m_launcher.folders, std::vector<std::string>{folder.toStdString()});
        QCOMPARE(readFile(folder + "/holiday.flv"), "FLV video bytes");
        QCOMPARE(readFile(folder + "/flvplayer1.swf"), "player bytes");
        vidlume::PageInputs inputs;
        inputs.videoFile = video.toStdString();
        inputs.videoPath = "media/";
        QCOMPARE(readFile(folder + "/index.htm").toStdString(), vidlume::BuildPlayerPage(inputs));

        // The second generation of the same video gets a folder of its own.
        click(button("btn_start"));
        QCOMPARE(m_launcher.folders.back(), homeFile("vidlume/holiday_(new)").toStdString());
    }

    void aTypedSizeConfirmedWithEnterStaysOutOfTheList()
    {
        m_window->show();
        auto* size = control<QComboBox>("cbb_videosize");
        size->lineEdit()->selectAll();
        QTest::keyClicks(size->lineEdit(), "800x600");
        QTest::keyClick(size->lineEdit(), Qt::Key_Return);
        QCOMPARE(size->currentText(), "800x600");
        QCOMPARE(size->count(), 4);
    }

    void aSizeWithoutAnXIsReportedBeforeAnythingIsMade()
    {
        m_window->show();
        chooseVideo();
        control<QComboBox>("cbb_videosize")->setEditText("320*240");
        click(button("btn_start"));

        QCOMPARE(m_boxes.shown.size(), 1);
        QCOMPARE(m_boxes.shown[0].caption, "Vidlume");
        QCOMPARE(m_boxes.shown[0].icon, MessageIcon::Error);
        QCOMPARE(m_boxes.shown[0].text, "List index out of bounds (1)");
        QVERIFY(QDir(homeFile("vidlume")).isEmpty());
        QVERIFY(m_launcher.folders.empty());
        QCOMPARE(control<QComboBox>("cbb_videosize")->currentText(), "320*240");
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vidlume");
    QApplication::setStyle("Fusion");
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_main.moc"
