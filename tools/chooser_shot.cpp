// Shows the output folder chooser on the current X display and saves a picture of
// it, frame included, to the file named by the first argument. Used by
// scripts/screenshot-chooser.sh; not a test.
#include "ui/directory.h"

#include <QApplication>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vidlume"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);

    fmDirectory = new TfmDirectory();
    // Give the window manager time to frame and draw the dialog.
    QTimer::singleShot(1500, fmDirectory, [&output] {
        const QRect outer = fmDirectory->frameGeometry();
        const QRect frame = outer.adjusted(-8, -8, 8, 8);
        const QPixmap shot =
            fmDirectory->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
        const bool saved = shot.save(output, "PNG");
        // Without a main window the chooser is centred on the screen, frame included.
        const QRect screen = fmDirectory->screen()->availableGeometry();
        const QRect expected(screen.left() + (screen.width() - 322) / 2,
                             screen.top() + (screen.height() - 351) / 2, 322, 351);
        std::printf("%s %dx%d outer %dx%d at %d,%d (expected %dx%d at %d,%d)\n",
                    saved ? "saved" : "NOT saved", shot.width(), shot.height(), outer.width(), outer.height(),
                    outer.x(), outer.y(), expected.width(), expected.height(), expected.x(), expected.y());
        QApplication::exit(saved && outer == expected ? 0 : 1);
    });
    fmDirectory->show();
    return QApplication::exec();
}
