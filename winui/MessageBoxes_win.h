#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vidlume::winui {

/// The application title: the caption of the error report and the chooser's refusal.
inline constexpr const char* applicationTitle = "Vidlume";

/// The "Warning" box: one OK button, no icon.
void showWarningBox(HWND owner, const std::string& text);

/// A box captioned with the application title, with an information icon.
void showInformationBox(HWND owner, const std::string& text);

/// The general error report: captioned with the application title, error icon,
/// the error's text with its closing full stop.
void showErrorReport(HWND owner, const std::string& errorText);

/// Runs a handler; an error that ends it goes to the general error report, and
/// the window keeps its values and goes on.
void runReportingErrors(HWND owner, const std::function<void()>& handler);

} // namespace vidlume::winui
