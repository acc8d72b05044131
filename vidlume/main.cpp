#include "ui/main.h"
#include "ui/directory.h"
#include "ui/LocalPaths.h"
#include "ui/StopOnSignals.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QTimer>

#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vidlume");
    // Ties the window to its desktop entry, so docks and task bars show the
    // menu's name and icon; the icon theme has the icon once installed.
    QGuiApplication::setDesktopFileName(VIDLUME_APP_ID);
    QApplication::setWindowIcon(QIcon::fromTheme(VIDLUME_APP_ID));
    QApplication::setStyle("Fusion");
    QFont font("Liberation Sans");
    font.setPixelSize(11);
    QApplication::setFont(font);

    // The main window is created first (its creation fills the application
    // information), then the folder chooser, which stays hidden until asked for.
    const auto window = std::make_unique<TfrmMain>();
    frmMain = window.get();
    const auto chooser = std::make_unique<TfmDirectory>();
    fmDirectory = chooser.get();
    fmDirectory->hide();

    vidlume::ui::stopOnSignals(app, *frmMain);
    frmMain->show();
    if (const auto video = vidlume::ui::videoArgument(argc, argv))
        frmMain->openVideos({*video});
    // For the start-up benchmark only: leave as soon as the window is up.
    if (qEnvironmentVariableIsSet("VIDLUME_QUIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    const int exitCode = app.exec();
    fmDirectory = nullptr;
    frmMain = nullptr;
    return exitCode;
}
