#include "ScratchFolder.h"
#include "form/MainForm.h"
#include "RecordingLauncher.h"
#include "ui/SiteDialog.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

// "Publish Many Videos" as a user drives it: a small archive made with ffmpeg,
// published through the dialog with the real site library and converter.

using vidlume::ui::SiteDialog;

using vidlume::test::RecordingLauncher;

namespace {

bool ffmpeg(const std::string& arguments)
{
    return std::system(("ffmpeg -nostdin -loglevel error -y " + arguments).c_str()) == 0;
}

} // namespace

class SiteDialogTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<vidlume::test::ScratchFolder> m_scratch;
    RecordingLauncher m_launcher;

    std::string path(const std::string& relative) const { return m_scratch->path(relative); }

    template <typename Widget> static Widget* control(SiteDialog& dialog, const char* name)
    {
        auto* widget = dialog.findChild<Widget*>(name);
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    static QPushButton* button(SiteDialog& dialog, const char* name) { return control<QPushButton>(dialog, name); }

    std::unique_ptr<SiteDialog> open(std::vector<std::string> sources)
    {
        vidlume::PageInputs options;
        options.html5 = true;
        auto dialog = std::make_unique<SiteDialog>(nullptr, options, sources);
        dialog->form().setProgramFolder(path("programs"));
        dialog->form().setLauncher(&m_launcher);
        dialog->show();
        dialog->activateWindow();
        if (!QTest::qWaitForWindowActive(dialog.get()))
            qWarning("the dialog did not become the active window");
        return dialog;
    }

    /// Types the site folder as a user would and confirms it.
    void typeSite(SiteDialog& dialog, const std::string& folder)
    {
        auto* site = control<QLineEdit>(dialog, "edt_site");
        site->setFocus();
        site->clear();
        QTest::keyClicks(site, QString::fromStdString(folder));
        QTest::keyClick(site, Qt::Key_Return);
    }

    static QString stateOf(SiteDialog& dialog, const QString& name)
    {
        auto* videos = control<QTreeWidget>(dialog, "lst_videos");
        for (int row = 0; row < videos->topLevelItemCount(); ++row)
            if (videos->topLevelItem(row)->text(0) == name)
                return videos->topLevelItem(row)->text(1);
        return "(no row)";
    }

private slots:
    void init()
    {
        if (std::system("ffmpeg -version >/dev/null 2>&1") != 0)
            QSKIP("ffmpeg is not installed");
        m_scratch = std::make_unique<vidlume::test::ScratchFolder>();
        m_launcher = {};
        std::filesystem::create_directories(path("archive/trips"));
        std::filesystem::create_directories(path("programs"));
        const std::string tone = " -f lavfi -i sine=frequency=440:duration=1 -c:a libmp3lame -ar 22050 -b:a 32k ";
        for (const char* name : {"trips/beach.flv", "trips/garden.flv", "talk.flv"})
            QVERIFY(ffmpeg("-f lavfi -i testsrc=size=96x72:rate=10:duration=1" + tone + "-c:v flv1 \"" +
                           path(std::string("archive/") + name) + "\""));
        std::ofstream(path("archive/damaged.flv"), std::ios::binary) << std::string(4000, '\x5a');
        std::ofstream(path("programs/flvplayer1.swf"), std::ios::binary) << "player bytes";
        std::ofstream(path("programs/vidlume-html5.js"), std::ios::binary) << "script";
        std::filesystem::create_symlink(VIDLUME_CONVERT_PATH, path("programs/vidlume-convert"));
    }

    void cleanup() { m_scratch.reset(); }

    void everyControlIsNamedReachableByKeyboardAndNotClipped()
    {
        auto dialog = open({});
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        for (QWidget* widget : dialog->findChildren<QWidget*>()) {
            if (widget->objectName().isEmpty() || widget->objectName().startsWith("qt_") || !widget->isVisible())
                continue;
            const QString name = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(widget->objectName()));
            if (auto* pushButton = qobject_cast<QPushButton*>(widget)) {
                QVERIFY2(pushButton->text().contains('&'), qPrintable(widget->objectName()));
                QVERIFY2(pushButton->focusPolicy() & Qt::TabFocus, qPrintable(widget->objectName()));
                const int needed = pushButton->fontMetrics().horizontalAdvance(pushButton->text().remove('&'));
                QVERIFY2(pushButton->width() > needed, qPrintable(widget->objectName()));
            }
        }
        for (const char* field : {"lst_sources", "edt_site", "spn_jobs", "lst_videos", "edt_leftout"})
            QVERIFY2(control<QWidget>(*dialog, field)->focusPolicy() & Qt::TabFocus, field);
        QVERIFY(control<QLabel>(*dialog, "lbl_options")->text().contains("main window"));
        QVERIFY(control<QSpinBox>(*dialog, "spn_jobs")->value() >= 1);
        QVERIFY(!button(*dialog, "btn_start")->isEnabled());
        QVERIFY(!button(*dialog, "btn_cancel")->isEnabled());
        QVERIFY(!button(*dialog, "btn_gallery")->isEnabled());
    }

    void anArchivePublishedThroughTheDialog()
    {
        auto dialog = open({});
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        // The archive dropped on the dialog becomes its source.
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path("archive")))});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(dialog.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(dialog.get(), &dropped);
        QCOMPARE(control<QListWidget>(*dialog, "lst_sources")->count(), 1);
        typeSite(*dialog, path("site"));

        auto* summary = control<QLabel>(*dialog, "lbl_summary");
        QTRY_COMPARE_WITH_TIMEOUT(summary->text(), QString("Found 4 videos: 0 up to date, 4 need converting."), 30000);
        QCOMPARE(stateOf(*dialog, "talk.flv"), "waiting");
        QVERIFY(button(*dialog, "btn_start")->isEnabled());
        control<QSpinBox>(*dialog, "spn_jobs")->setValue(2);
        QTest::mouseClick(button(*dialog, "btn_start"), Qt::LeftButton);
        QVERIFY(button(*dialog, "btn_cancel")->isEnabled());
        QVERIFY(!control<QLineEdit>(*dialog, "edt_site")->isEnabled());

        QTRY_VERIFY_WITH_TIMEOUT(button(*dialog, "btn_gallery")->isEnabled(), 120000);
        for (const char* name : {"trips/beach.flv", "trips/garden.flv", "talk.flv"})
            QCOMPARE(stateOf(*dialog, name), "done");
        QVERIFY2(stateOf(*dialog, "damaged.flv").startsWith("left out: "), qPrintable(stateOf(*dialog, "damaged.flv")));
        QCOMPARE(summary->text(), "3 videos are in the site, 1 left out.");
        QCOMPARE(control<QProgressBar>(*dialog, "bar_progress")->value(), vidlume::form::SiteForm::barSteps);
        auto* leftOut = control<QPlainTextEdit>(*dialog, "edt_leftout");
        QVERIFY(leftOut->isReadOnly());
        QVERIFY2(leftOut->toPlainText().contains("damaged.flv: "), qPrintable(leftOut->toPlainText()));
        QTest::mouseClick(button(*dialog, "btn_copy"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), leftOut->toPlainText());

        QTest::mouseClick(button(*dialog, "btn_gallery"), Qt::LeftButton);
        QTest::mouseClick(button(*dialog, "btn_sitefolder"), Qt::LeftButton);
        QCOMPARE(m_launcher.urls, std::vector<std::string>{vidlume::form::publishedPageAddress(path("site"))});
        QCOMPARE(m_launcher.folders, std::vector<std::string>{path("site")});
        QVERIFY(std::filesystem::exists(path("site/index.htm")));
    }

    void cancelOrClosingWhileItRunsKeepsTheFinishedVideos_data()
    {
        QTest::addColumn<bool>("closing");
        QTest::newRow("Cancel") << false;
        QTest::newRow("Escape closes") << true;
    }

    void cancelOrClosingWhileItRunsKeepsTheFinishedVideos()
    {
        QFETCH(bool, closing);
        auto dialog = open({path("archive")});
        typeSite(*dialog, path("site"));
        QTRY_VERIFY_WITH_TIMEOUT(button(*dialog, "btn_start")->isEnabled(), 30000);
        control<QSpinBox>(*dialog, "spn_jobs")->setValue(1);
        // Publish from the keyboard; its focus moves on to Cancel.
        button(*dialog, "btn_start")->setFocus();
        QTest::keyClick(button(*dialog, "btn_start"), Qt::Key_Space);
        QVERIFY(!button(*dialog, "btn_start")->isEnabled());
        const auto finished = [&dialog] {
            int count = 0;
            for (const char* name : {"trips/beach.flv", "trips/garden.flv", "talk.flv"})
                count += stateOf(*dialog, name) == "done";
            return count;
        };
        QTRY_VERIFY_WITH_TIMEOUT(finished() >= 1, 120000);
        if (closing) {
            // Escape stops the run, and closes the dialog once the finished ones are in the gallery.
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
            QVERIFY(dialog->isVisible());
            QVERIFY(!button(*dialog, "btn_cancel")->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 120000);
        } else {
            QCOMPARE(dialog->focusWidget(), button(*dialog, "btn_cancel"));
            QTest::keyClick(button(*dialog, "btn_cancel"), Qt::Key_Space);
            QTRY_VERIFY_WITH_TIMEOUT(button(*dialog, "btn_gallery")->isEnabled(), 120000);
            QVERIFY2(dialog->focusWidget() && dialog->focusWidget()->isEnabled(), "the grey Cancel handed its focus on");
            QVERIFY(dialog->isVisible());
        }
        QVERIFY(button(*dialog, "btn_gallery")->isEnabled());
        auto* summary = control<QLabel>(*dialog, "lbl_summary");
        QVERIFY2(summary->text().startsWith("Stopped. "), qPrintable(summary->text()));
        QVERIFY(finished() >= 1);
        int stopped = 0;
        for (const char* name : {"trips/beach.flv", "trips/garden.flv", "talk.flv", "damaged.flv"})
            stopped += stateOf(*dialog, name) == vidlume::form::notDoneState;
        QVERIFY(stopped >= 1);
        const int kept = finished();

        // The finished ones stay: a new dialog finds them up to date.
        auto again = open({path("archive")});
        typeSite(*again, path("site"));
        QTRY_VERIFY_WITH_TIMEOUT(button(*again, "btn_start")->isEnabled(), 30000);
        QVERIFY2(control<QLabel>(*again, "lbl_summary")
                     ->text()
                     .startsWith(QString("Found 4 videos: %1 up to date").arg(kept)),
                 qPrintable(control<QLabel>(*again, "lbl_summary")->text()));
    }
};

QTEST_MAIN(SiteDialogTest)
#include "test_siteDialog.moc"
