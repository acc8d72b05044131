// Saves a picture of "Upload" after it sent a folder over WebDAV:
//   upload_shot OUTPUT.png light|dark FOLDER PORT PASSWORD_FILE CA_FILE
// The server is the upload tests' Apache httpd (tests/servers/tls-server.sh
// webdav) on 127.0.0.1:PORT. Used by scripts/screenshot-upload.sh; not a test.
#include "tools/ShotLook.h"
#include "ui/UploadDialog.h"
#include "app/SettingsFile.h"
#include "form/UploadSites.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    vidlume::tools::useProgramLook();
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s OUTPUT.png light|dark FOLDER PORT PASSWORD_FILE CA_FILE\n", argv[0]);
        return 2;
    }
    if (std::strcmp(argv[2], "dark") == 0)
        QApplication::setPalette(vidlume::tools::darkPalette());
    const QString output = QString::fromLocal8Bit(argv[1]);
    QFile passwordFile(QString::fromLocal8Bit(argv[5]));
    if (!passwordFile.open(QIODevice::ReadOnly))
        return 1;
    const QString password = QString::fromUtf8(passwordFile.readLine()).trimmed();

    // Two sites used before, kept in a settings file in the (scratch) home folder.
    const std::string settings = QDir::homePath().toStdString() + "/vidlume.ini";
    vidlume::form::UploadTarget earlier;
    earlier.host = "files.example.org";
    earlier.user = "alice";
    earlier.remoteFolder = "www/holiday";
    vidlume::form::keepUploadSite(vidlume::SettingsFile(settings), earlier);
    earlier.protocol = vidlume::form::UploadProtocol::Ftps;
    earlier.host = "ftp.example.net";
    earlier.remoteFolder = "/htdocs";
    vidlume::form::keepUploadSite(vidlume::SettingsFile(settings), earlier);

    vidlume::ui::UploadDialog dialog(nullptr, argv[3]);
    dialog.form().setCaFile(argv[6]);
    dialog.form().setSitesFile(settings);
    dialog.form().show();
    dialog.findChild<QComboBox*>("cbb_protocol")->setCurrentIndex(2);
    dialog.findChild<QLineEdit*>("edt_host")->setText("127.0.0.1");
    dialog.findChild<QSpinBox*>("spn_port")->setValue(std::atoi(argv[4]));
    dialog.findChild<QLineEdit*>("edt_user")->setText("alice");
    dialog.findChild<QLineEdit*>("edt_remote")->setText("/www/clips");
    dialog.findChild<QLineEdit*>("edt_public")->setText("https://example.org/clips/");
    dialog.findChild<QLineEdit*>("edt_secret")->setText(password);
    QTimer::singleShot(300, &dialog, [&dialog] { dialog.findChild<QPushButton*>("btn_upload")->click(); });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        if (dialog.findChild<QPushButton*>("btn_openpage")->isEnabled()) {
            poll.stop();
            QTimer::singleShot(300, &dialog, [&dialog, &output] {
                const bool saved = dialog.grab().save(output, "PNG");
                std::printf("%s %s\n", saved ? "saved" : "NOT saved", qPrintable(output));
                QApplication::exit(saved ? 0 : 1);
            });
        }
    });
    poll.start(100);
    QTimer::singleShot(60000, &app, [] { QApplication::exit(1); });
    dialog.show();
    return QApplication::exec();
}
