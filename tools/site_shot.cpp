// Saves a picture of "Publish Many Videos" after it published an archive:
//   site_shot OUTPUT.png light|dark ARCHIVE SITE PROGRAM_FOLDER
// The dialog plans the site, publishes it two videos at a time and is grabbed
// at the end. Used by scripts/screenshot-site.sh; not a test.
#include "tools/ShotLook.h"
#include "ui/SiteDialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    vidlume::tools::useProgramLook();
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s OUTPUT.png light|dark ARCHIVE SITE PROGRAM_FOLDER\n", argv[0]);
        return 2;
    }
    if (std::strcmp(argv[2], "dark") == 0)
        QApplication::setPalette(vidlume::tools::darkPalette());
    const QString output = QString::fromLocal8Bit(argv[1]);

    vidlume::PageInputs options;
    options.html5 = true;
    vidlume::ui::SiteDialog dialog(nullptr, options, {argv[3]});
    dialog.form().setProgramFolder(argv[5]);
    dialog.form().setSiteFolder(argv[4]);
    dialog.findChild<QSpinBox*>("spn_jobs")->setValue(2);
    bool started = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        auto* start = dialog.findChild<QPushButton*>("btn_start");
        if (!started && start->isEnabled()) {
            started = true;
            start->click();
        } else if (started && dialog.findChild<QPushButton*>("btn_gallery")->isEnabled()) {
            poll.stop();
            QTimer::singleShot(300, &dialog, [&dialog, &output] {
                const bool saved = dialog.grab().save(output, "PNG");
                std::printf("%s %s\n", saved ? "saved" : "NOT saved", qPrintable(output));
                QApplication::exit(saved ? 0 : 1);
            });
        }
    });
    poll.start(100);
    dialog.show();
    return QApplication::exec();
}
