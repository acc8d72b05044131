#include "ui/StopOnSignals.h"

#include "platform/CancelSignals.h"
#include "ui/main.h"

#include <QApplication>
#include <QTimer>

namespace vidlume::ui {

void stopOnSignals(QApplication& app, const TfrmMain& window)
{
    platform::installCancelSignals();
    QObject::connect(&app, &QGuiApplication::commitDataRequest, [] { platform::noteCancelRequest(); });
    // A signal only notes itself: the watch acts on it from the event loop.
    // While a generation runs, the generation sees the request, cancels and
    // removes its folder; the watch ends the loop once it is over.
    auto* watch = new QTimer(&app);
    QObject::connect(watch, &QTimer::timeout, watch, [watch, &window] {
        if (!platform::cancelSignalReceived() || window.generating())
            return;
        watch->stop();
        QCoreApplication::exit(platform::cancelExitCode());
    });
    watch->start(100);
}

} // namespace vidlume::ui
