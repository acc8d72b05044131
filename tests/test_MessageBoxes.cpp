#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

using vidlume::ui::MessageIcon;

class MessageBoxesTest : public QObject
{
    Q_OBJECT

private slots:
    void aRealBoxShowsItsCaptionIconOneOkButtonAndTheTextAsItIs()
    {
        // A path may look like markup; the box must still show every character of it.
        const QString text = "Cannot create file \"/srv/<b>clips</b>/index.htm\". Permission denied.";
        QVERIFY(Qt::mightBeRichText(text));

        QString caption, shownText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        Qt::TextFormat format = Qt::AutoText;
        int buttons = 0;
        QTimer answer; // the box runs its own modal loop; read it from inside and close it
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            caption = box->windowTitle();
            icon = box->icon();
            buttons = static_cast<int>(box->findChildren<QPushButton*>().size());
            const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
            shownText = label ? label->text() : QString();
            format = label ? label->textFormat() : Qt::AutoText;
            box->accept();
        });
        answer.start(10);
        vidlume::ui::messageBoxes().show(nullptr, "Vidlume", text, MessageIcon::Error);
        answer.stop();

        QCOMPARE(caption, "Vidlume");
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(buttons, 1);
        QCOMPARE(shownText, text);
        QCOMPARE(format, Qt::PlainText);
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    MessageBoxesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_MessageBoxes.moc"
