#include "ui/PublishWithProgress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace vidlume::ui {

namespace {

constexpr int progressSteps = 1000;

/// What the worker and the window share while a generation runs.
struct Shared
{
    std::mutex mutex;
    PublishProgress progress;
    std::atomic<bool> cancel{false};
    std::atomic<bool> finished{false};
};

std::unique_ptr<QProgressDialog> makeProgressDialog(QWidget* parent, Shared& shared)
{
    auto dialog = std::make_unique<QProgressDialog>(parent);
    dialog->setObjectName("publishProgress");
    dialog->setWindowTitle(QCoreApplication::applicationName());
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setRange(0, progressSteps);
    dialog->setMinimumDuration(0);
    dialog->setAutoReset(false);
    dialog->setCancelButtonText(QObject::tr("Cancel"));
    dialog->setMinimumWidth(360);
    // The dialog hides itself on Cancel; the generation removes its folder and
    // the window shows nothing more.
    QObject::connect(dialog.get(), &QProgressDialog::canceled, [&shared] { shared.cancel = true; });
    dialog->show();
    return dialog;
}

void showProgress(QProgressDialog& dialog, Shared& shared)
{
    PublishProgress progress;
    {
        std::lock_guard lock(shared.mutex);
        progress = shared.progress;
    }
    const QLocale locale;
    const auto size = [&](std::uint64_t bytes) {
        return locale.formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeTraditionalFormat);
    };
    const QString doing = progress.phase == PublishPhase::Converting
                              ? QObject::tr("Converting for browsers %1")
                              : QObject::tr("Copying %1");
    dialog.setLabelText(QObject::tr("%1\n%2 of %3")
                            .arg(doing.arg(QString::fromStdString(progress.fileName)),
                                 size(progress.bytesDone), size(progress.bytesTotal)));
    const double share = progress.bytesTotal ? double(progress.bytesDone) / double(progress.bytesTotal) : 0.0;
    dialog.setValue(static_cast<int>(std::min(1.0, share) * progressSteps));
}

} // namespace

PublishResult publishWithProgress(QWidget* parent, const PublishFunction& publish, const PageInputs& inputs,
                                  const std::string& programFolder, ProgressTiming timing)
{
    Shared shared;
    std::optional<PublishResult> result;
    std::exception_ptr error;
    QObject wakeUp; // lives on this thread; the worker posts to it to end the wait at once

    std::thread worker([&] {
        PublishControl control;
        control.onProgress = [&shared](const PublishProgress& progress) {
            std::lock_guard lock(shared.mutex);
            shared.progress = progress;
        };
        control.cancelRequested = [&shared] { return shared.cancel.load(); };
        try {
            result = publish(inputs, programFolder, control);
        } catch (...) {
            error = std::current_exception();
        }
        shared.finished = true;
        QMetaObject::invokeMethod(
            &wakeUp, [] {}, Qt::QueuedConnection);
    });
    // Whatever happens here, the worker is stopped and joined before its data goes.
    const std::unique_ptr<std::thread, std::function<void(std::thread*)>> joinWorker(&worker,
                                                                                     [&](std::thread* t) {
                                                                                         shared.cancel = true;
                                                                                         t->join();
                                                                                     });

    QTimer tick; // wakes the wait below so that the dialog appears and moves on time
    tick.start(timing.updateEvery);
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    std::unique_ptr<QProgressDialog> dialog;
    while (!shared.finished) {
        const bool dialogUp = dialog && dialog->isVisible();
        loop.processEvents((dialogUp ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents) |
                           QEventLoop::WaitForMoreEvents);
        if (shared.finished)
            break;
        if (!dialog && clock.elapsed() >= timing.showAfter.count())
            dialog = makeProgressDialog(parent, shared);
        if (dialog && !dialog->wasCanceled())
            showProgress(*dialog, shared);
    }
    dialog.reset();

    if (error)
        std::rethrow_exception(error);
    return std::move(*result);
}

} // namespace vidlume::ui
