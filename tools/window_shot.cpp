// Saves a picture of the main window, as it looks right after start, to the file
// named by the first argument; "dark" as the second argument gives the window a
// dark palette first. Used by scripts/screenshot-palettes.sh; not a test.
#include "tools/ShotLook.h"
#include "ui/main.h"

#include <QApplication>
#include <QPalette>
#include <QTimer>

#include <cstdio>
#include <cstring>

using vidlume::tools::darkPalette;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    vidlume::tools::useProgramLook();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [dark]\n", argv[0]);
        return 2;
    }
    if (argc > 2 && std::strcmp(argv[2], "dark") == 0)
        QApplication::setPalette(darkPalette());
    const QString output = QString::fromLocal8Bit(argv[1]);

    TfrmMain window;
    QTimer::singleShot(500, &window, [&window, &output] {
        const bool saved = window.grab().save(output, "PNG");
        std::printf("%s %s\n", saved ? "saved" : "NOT saved", qPrintable(output));
        QApplication::exit(saved ? 0 : 1);
    });
    window.show();
    return QApplication::exec();
}
