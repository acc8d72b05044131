#pragma once

#include <functional>

class QWidget;

namespace vidlume::ui {

/// Runs a handler. An error that ends it is shown in the general error report:
/// a box captioned with the application title, error icon, the error's text with
/// its closing full stop. The window keeps its values and goes on.
void runReportingErrors(QWidget* parent, const std::function<void()>& handler);

/// Wraps a handler for connect(), so that every handler reports its errors the same way.
template <typename Handler>
auto reportingErrors(QWidget* parent, Handler handler)
{
    return [parent, handler]() { runReportingErrors(parent, handler); };
}

} // namespace vidlume::ui
