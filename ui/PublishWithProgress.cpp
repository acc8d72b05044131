#include "ui/PublishWithProgress.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <memory>

namespace vidlume::ui {

namespace {

std::unique_ptr<QProgressDialog> makeProgressDialog(QWidget* parent, form::BackgroundGeneration& generation)
{
    auto dialog = std::make_unique<QProgressDialog>(parent);
    dialog->setObjectName("publishProgress");
    dialog->setWindowTitle(QCoreApplication::applicationName());
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setRange(0, form::ProgressView::barSteps);
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
    QObject::connect(dialog.get(), &QProgressDialog::canceled, [&generation] { generation.cancel(); });
    dialog->show();
    return dialog;
}

} // namespace

PublishResult publishWithProgress(QWidget* parent, const PublishFunction& publish, const PageInputs& inputs,
                                  const std::string& programFolder, ProgressTiming timing)
{
    QObject wakeUp; // lives on this thread; the worker posts to it to end the wait at once
    form::BackgroundGeneration generation(publish, inputs, programFolder, [&wakeUp] {
        QMetaObject::invokeMethod(
            &wakeUp, [] {}, Qt::QueuedConnection);
    });

    QTimer tick; // wakes the wait below so that the dialog appears and moves on time
    tick.start(timing.updateEvery);
    QEventLoop loop;
    std::unique_ptr<QProgressDialog> dialog;
    while (!generation.finished()) {
        const bool dialogUp = dialog && dialog->isVisible();
        loop.processEvents((dialogUp ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents) |
                           QEventLoop::WaitForMoreEvents);
        if (generation.finished())
            break;
        if (!dialog && generation.progressDue(timing.showAfter))
            dialog = makeProgressDialog(parent, generation);
        if (dialog && !dialog->wasCanceled()) {
            const form::ProgressView shown = generation.progress();
            dialog->setLabelText(QString::fromStdString(shown.text));
            dialog->setValue(shown.barPosition);
        }
    }
    dialog.reset();
    return generation.result();
}

} // namespace vidlume::ui
