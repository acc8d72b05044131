#pragma once

class QApplication;
class TfrmMain;

namespace vidlume::ui {

/// SIGTERM, SIGHUP (the terminal closed), Ctrl-C in the terminal and logging
/// out of the desktop stop the window as they stop vidlume-cli: a running
/// generation is cancelled and takes its folder away, then the application's
/// event loop ends with the signal's status (128 + N).
void stopOnSignals(QApplication& app, const TfrmMain& window);

} // namespace vidlume::ui
