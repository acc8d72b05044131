#include "ui/StopOnSignals.h"

#include "platform/CancelSignals.h"
#include "ui/main.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

namespace vidlume::ui {

namespace {

// A quit asked of the application while a generation runs (the user
// logging out of the desktop, for one) stops the generation as a signal does, so
// that it takes its folder away instead of finishing after the window has
// been asked to go.
class QuitDuringGeneration final : public QObject
{
public:
    QuitDuringGeneration(QObject* parent, const TfrmMain& window) : QObject(parent), m_window(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit && m_window.generating())
            platform::noteCancelRequest();
        return false;
    }

private:
    const TfrmMain& m_window;
};

} // namespace

void stopOnSignals(QApplication& app, const TfrmMain& window)
{
    platform::installCancelSignals();
    QObject::connect(&app, &QGuiApplication::commitDataRequest, [] { platform::noteCancelRequest(); });
    app.installEventFilter(new QuitDuringGeneration(&app, window));
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
