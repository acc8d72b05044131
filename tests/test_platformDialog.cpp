// The file dialog of the desktop (GTK here) under a real X server: it is the one
// the user gets, not closed as it opens in favour of our own window.
#include "ui/OpenDialog.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

class PlatformDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void thePlatformsDialogIsTheOneShown()
    {
        if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platformthemes/libqgtk3.so"))
            QSKIP("Qt's GTK platform theme (qt6-gtk-platformtheme) is not installed");
        QWidget owner;
        owner.show();
        vidlume::ui::OpenDialog dialog(&owner);
        dialog.setFilters({"FLV files (*.flv)", "All files (*)"});

        // Watches what the run shows for two seconds, then closes it.
        bool ourWindow = false;
        bool platformDialog = false;
        int ticks = 0;
        QTimer watch;
        watch.setInterval(50);
        connect(&watch, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->objectName() == "fileOpenWindow") {
                ourWindow = true;
                modal->close();
                return;
            }
            auto* fileDialog = owner.findChild<QFileDialog*>();
            // Qt's own dialog builds its widgets; the platform's dialog is a window of GTK's.
            if (fileDialog && fileDialog->isVisible() && !fileDialog->findChild<QLineEdit*>("fileNameEdit"))
                platformDialog = ++ticks > 40;
            if (platformDialog)
                fileDialog->reject();
        });
        watch.start();
        QVERIFY(!dialog.execute());
        QVERIFY(!ourWindow);
        QVERIFY(platformDialog);
    }
};

QTEST_MAIN(PlatformDialogTest)
#include "test_platformDialog.moc"
