// The window stopped by a signal in the middle of a generation: the
// generation is cancelled, its folder taken away, and the window ends with
// the signal's status. Each case runs in a process of its own (named on the
// command line): a stop request lasts for the process.
#include "app/GlobalUnit.h"
#include "publish/Publish.h"
#include "ui/StopOnSignals.h"
#include "ui/directory.h"
#include "ui/main.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <functional>
#include <fstream>
#include <thread>

class StopOnSignalsTest : public QObject
{
    Q_OBJECT

private slots:
    void aSignalDuringAGenerationTakesItsFolderAwayAndEndsWithTheSignalsStatus_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM; // kill
        QTest::newRow("SIGHUP") << SIGHUP;   // the terminal closed
        QTest::newRow("SIGINT") << SIGINT;   // Ctrl-C in the terminal
    }

    void aSignalDuringAGenerationTakesItsFolderAwayAndEndsWithTheSignalsStatus()
    {
        QFETCH(int, signal);
        int status = -1;
        stopAGeneration([signal] { std::raise(signal); }, status);
        QCOMPARE(status, 128 + signal);
    }

    // The user logging out of the desktop, or anything else asking the
    // application to quit, while a generation runs.
    void aQuitDuringAGenerationTakesItsFolderAwayToo()
    {
        int status = -1;
        stopAGeneration([] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); },
                        status);
    }

private:
    // Starts a generation slow enough to be caught in the middle, calls stop
    // once it copies, and checks that it was cancelled and left nothing.
    // status is the window's exit status.
    void stopAGeneration(const std::function<void()>& stop, int& status)
    {
        QTemporaryDir home;
        qputenv("HOME", QFile::encodeName(home.path()));
        const std::string video = home.filePath("holiday.flv").toStdString();
        std::ofstream(video, std::ios::binary) << std::string(8 << 20, 'v');

        TfrmMain window;
        vidlume::GlobalObject->SetSettingsFileName(home.filePath("vidlume.ini").toStdString());
        std::atomic<bool> copying{false};
        std::atomic<bool> sawCancel{false};
        window.setPublisher([&](const vidlume::PageInputs& inputs, const std::string& programFolder,
                                vidlume::PublishControl control) {
            // A copy slow enough to be caught in the middle.
            control.copyTuning.maxChunkBytes = 64 * 1024;
            control.copyTuning.afterChunk = [&](std::uint64_t) {
                copying = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            };
            const auto asked = control.cancelRequested;
            control.cancelRequested = [&, asked] { return sawCancel = sawCancel || (asked && asked()); };
            return vidlume::publishGeneration(inputs, programFolder, control);
        });
        window.setProgramFolder(home.path().toStdString());
        vidlume::ui::stopOnSignals(*qApp, window);
        window.show();
        window.openVideos({video});
        const QString output = window.findChild<QLineEdit*>("edt_outputdir")->text();
        QVERIFY(!output.isEmpty());

        QTimer::singleShot(0, [&] { window.findChild<QPushButton*>("btn_start")->click(); });
        std::thread signaller([&] {
            for (int i = 0; i < 500 && !copying; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            stop();
        });
        status = QCoreApplication::exec();
        signaller.join();
        fmDirectory = nullptr; // the window owned the chooser it made
        QVERIFY(copying);
        QVERIFY(sawCancel);
        QVERIFY2(QDir(output).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty(),
                 "the generation left something in the output folder");
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vidlume");
    StopOnSignalsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_StopOnSignals.moc"
