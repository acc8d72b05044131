#include "RecordingLauncher.h"
#include "ScratchFolder.h"
#include "SshServer.h"
#include "ui/UploadDialog.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <memory>

// "Upload" as a user drives it, against Debian's real OpenSSH server on
// 127.0.0.1 (its own port and keys): the fields typed, the unknown host key
// shown and trusted, the folder sent.

using vidlume::ui::UploadDialog;

class UploadDialogTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<vidlume::test::SshServer> m_server;
    std::unique_ptr<vidlume::test::ScratchFolder> m_scratch;
    vidlume::test::RecordingLauncher m_launcher;

    std::string path(const std::string& relative) const { return m_scratch->path(relative); }

    template <typename Widget> static Widget* control(UploadDialog& dialog, const char* name)
    {
        auto* widget = dialog.findChild<Widget*>(name);
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    static void type(UploadDialog& dialog, const char* name, const std::string& text)
    {
        auto* field = control<QLineEdit>(dialog, name);
        field->clear();
        QTest::keyClicks(field, QString::fromStdString(text));
    }

    std::unique_ptr<UploadDialog> open()
    {
        auto dialog = std::make_unique<UploadDialog>(nullptr, path("site"));
        dialog->form().setLauncher(&m_launcher);
        dialog->form().setKnownHostsFile(path("known_hosts"));
        dialog->show();
        dialog->activateWindow();
        if (!QTest::qWaitForWindowActive(dialog.get()))
            qWarning("the dialog did not become the active window");
        return dialog;
    }

    /// Answers the host key question with the button captioned answer, once it shows.
    void answerHostKey(const QString& answer, QString* question)
    {
        QTimer::singleShot(100, this, [this, answer, question] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) {
                    *question = box->text();
                    for (QAbstractButton* button : box->buttons())
                        if (button->text().remove('&') == answer)
                            button->click();
                    return;
                }
            }
            answerHostKey(answer, question);
        });
    }

private slots:
    void initTestCase()
    {
        qunsetenv("SSH_AUTH_SOCK");
        m_server = std::make_unique<vidlume::test::SshServer>();
    }
    void cleanupTestCase() { m_server.reset(); }
    void init()
    {
        m_scratch = std::make_unique<vidlume::test::ScratchFolder>();
        vidlume::test::writeFile(path("site/index.htm"), "<html>clip</html>");
        vidlume::test::writeFile(path("site/clip.flv"), std::string(200000, 'v'));
        vidlume::test::writeFile(path("known_hosts"), "");
    }
    void cleanup() { m_scratch.reset(); }

    void everyControlIsNamedReachableByKeyboardAndNotClipped()
    {
        auto dialog = open();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        for (QWidget* widget : dialog->findChildren<QWidget*>()) {
            if (widget->objectName().isEmpty() || widget->objectName().startsWith("qt_") || !widget->isVisible())
                continue;
            const QString name = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(widget->objectName()));
            QVERIFY2(widget->focusPolicy() & Qt::TabFocus || qobject_cast<QLabel*>(widget) ||
                         widget->objectName() == "bar_progress",
                     qPrintable(widget->objectName()));
            if (auto* pushButton = qobject_cast<QPushButton*>(widget)) {
                QVERIFY2(pushButton->text().contains('&'), qPrintable(widget->objectName()));
                const int needed = pushButton->fontMetrics().horizontalAdvance(pushButton->text().remove('&'));
                QVERIFY2(pushButton->width() > needed, qPrintable(widget->objectName()));
            }
        }
        QCOMPARE(control<QLineEdit>(*dialog, "edt_folder")->text(), QString::fromStdString(path("site")));
        QVERIFY(!control<QPushButton>(*dialog, "btn_upload")->isEnabled()); // no server yet
        type(*dialog, "edt_host", "example.org");
        QVERIFY(control<QPushButton>(*dialog, "btn_upload")->isEnabled());
        // FTPS and WebDAV log in with a password only.
        control<QComboBox>(*dialog, "cbb_protocol")->setCurrentIndex(2);
        QVERIFY(!control<QComboBox>(*dialog, "cbb_auth")->isEnabled());
        QVERIFY(control<QCheckBox>(*dialog, "chk_remember")->isEnabled());
        QCOMPARE(control<QLineEdit>(*dialog, "edt_secret")->echoMode(), QLineEdit::Password);
    }

    void aFolderSentOverSftpAfterTheUnknownKeyIsTrusted()
    {
        auto dialog = open();
        type(*dialog, "edt_host", "127.0.0.1");
        control<QSpinBox>(*dialog, "spn_port")->setValue(m_server->port());
        type(*dialog, "edt_user", m_server->user());
        type(*dialog, "edt_remote", path("remote"));
        type(*dialog, "edt_public", "https://example.org/clip/");
        control<QComboBox>(*dialog, "cbb_auth")->setCurrentIndex(1);
        type(*dialog, "edt_key", m_server->userKey());
        QString question;
        answerHostKey("Trust and Upload", &question);
        QTest::mouseClick(control<QPushButton>(*dialog, "btn_upload"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>(*dialog, "btn_openpage")->isEnabled(), 30000);
        QVERIFY2(question.contains(QString::fromStdString(m_server->fingerprint())), qPrintable(question));
        QVERIFY(std::filesystem::exists(path("remote/clip.flv")));
        QVERIFY(control<QLabel>(*dialog, "lbl_status")->text().contains("Sent 2 file(s)"));
        QTest::mouseClick(control<QPushButton>(*dialog, "btn_openpage"), Qt::LeftButton);
        QCOMPARE(m_launcher.urls.back(), std::string("https://example.org/clip/index.htm"));
        QTest::mouseClick(control<QPushButton>(*dialog, "btn_copyaddress"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("https://example.org/clip/index.htm"));
    }

    void stoppingAtTheHostKeySendsNothing()
    {
        auto dialog = open();
        type(*dialog, "edt_host", "127.0.0.1");
        control<QSpinBox>(*dialog, "spn_port")->setValue(m_server->port());
        type(*dialog, "edt_user", m_server->user());
        type(*dialog, "edt_remote", path("remote"));
        control<QComboBox>(*dialog, "cbb_auth")->setCurrentIndex(1);
        type(*dialog, "edt_key", m_server->userKey());
        QString question;
        answerHostKey("Stop", &question);
        QTest::mouseClick(control<QPushButton>(*dialog, "btn_upload"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(control<QLabel>(*dialog, "lbl_status")->text().contains("not trusted"), 30000);
        QVERIFY(!std::filesystem::exists(path("remote")));
        QVERIFY(!control<QPushButton>(*dialog, "btn_openpage")->isEnabled());
        QVERIFY(control<QPushButton>(*dialog, "btn_upload")->isEnabled());
    }

    /// Run only in a desktop of its own (servers/keyring-desktop.sh),
    /// never against the user's keyring.
    void aRememberedPassphraseIsTakenFromTheKeyringNextTime()
    {
        if (qgetenv("VIDLUME_TEST_KEYRING_DESKTOP") != "1")
            QSKIP("needs the Secret Service of servers/keyring-desktop.sh");
        const std::string key = path("locked_key");
        QCOMPARE(std::system(("ssh-keygen -q -t ed25519 -N 'kept secret' -C '' -f " + key).c_str()), 0);
        m_server->authorize(key + ".pub");
        vidlume::test::writeFile(path("known_hosts"), m_server->knownHostsLine());
        const auto fill = [this, &key](UploadDialog& dialog, const std::string& remote) {
            type(dialog, "edt_host", "127.0.0.1");
            control<QSpinBox>(dialog, "spn_port")->setValue(m_server->port());
            type(dialog, "edt_user", m_server->user());
            type(dialog, "edt_remote", path(remote));
            control<QComboBox>(dialog, "cbb_auth")->setCurrentIndex(1);
            type(dialog, "edt_key", key);
        };
        {
            auto dialog = open();
            fill(*dialog, "first");
            type(*dialog, "edt_secret", "kept secret");
            auto* remember = control<QCheckBox>(*dialog, "chk_remember");
            QVERIFY(remember->isEnabled());
            QVERIFY(remember->text().contains("passphrase"));
            QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(5, remember->height() / 2));
            QVERIFY(remember->isChecked());
            QTest::mouseClick(control<QPushButton>(*dialog, "btn_upload"), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(control<QLabel>(*dialog, "lbl_status")->text().contains("Sent 2 file(s)"), 30000);
        }
        // Nothing typed now: the passphrase comes from the keyring.
        auto dialog = open();
        fill(*dialog, "second");
        QVERIFY(control<QLineEdit>(*dialog, "edt_secret")->text().isEmpty());
        QTest::mouseClick(control<QPushButton>(*dialog, "btn_upload"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>(*dialog, "btn_upload")->isEnabled(), 30000);
        QVERIFY2(control<QLabel>(*dialog, "lbl_status")->text().contains("Sent 2 file(s)"),
                 qPrintable(control<QLabel>(*dialog, "lbl_status")->text()));
        QVERIFY(std::filesystem::exists(path("second/clip.flv")));
    }
};

QTEST_MAIN(UploadDialogTest)
#include "test_uploadDialog.moc"
