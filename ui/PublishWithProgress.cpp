#include "ui/PublishWithProgress.h"

#include "form/ProgressText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
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
    // Three lines at most: the phase and file, the bytes, the time left.
    dialog->setLabelText("\n\n");
    dialog->adjustSize();
    // Over the window it belongs to; a window manager that places new windows
    // itself would otherwise put it anywhere, even off the screen.
    if (parent) {
        const QRect over = parent->window()->frameGeometry();
        dialog->move(over.center() - QPoint(dialog->width() / 2, dialog->height() / 2));
    }
    // The dialog hides itself on Cancel; the generation removes its folder and
    // the window shows nothing more.
    QObject::connect(dialog.get(), &QProgressDialog::canceled, [&shared] { shared.cancel = true; });
    dialog->show();
    return dialog;
}

/// When the phase on screen began, for the time it still needs.
struct PhaseClock
{
    std::optional<PublishPhase> phase;
    QElapsedTimer clock;
};

void showProgress(QProgressDialog& dialog, Shared& shared, PhaseClock& phase)
{
    PublishProgress progress;
    {
        std::lock_guard lock(shared.mutex);
        progress = shared.progress;
    }
    if (phase.phase != progress.phase) {
        phase.phase = progress.phase;
        phase.clock.start();
    }
    QString text = QString::fromStdString(form::progressText(progress));
    if (const auto left = form::secondsLeft(progress, static_cast<std::uint64_t>(phase.clock.elapsed())))
        text += "\n" + QString::fromStdString(form::timeLeftText(*left));
    dialog.setLabelText(text);
    dialog.setValue(form::progressSteps(progress, progressSteps));
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
    PhaseClock phase;
    while (!shared.finished) {
        const bool dialogUp = dialog && dialog->isVisible();
        loop.processEvents((dialogUp ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents) |
                           QEventLoop::WaitForMoreEvents);
        if (shared.finished)
            break;
        if (!dialog && clock.elapsed() >= timing.showAfter.count())
            dialog = makeProgressDialog(parent, shared);
        if (dialog && !dialog->wasCanceled())
            showProgress(*dialog, shared, phase);
    }
    dialog.reset();

    if (error)
        std::rethrow_exception(error);
    return std::move(*result);
}

} // namespace vidlume::ui
