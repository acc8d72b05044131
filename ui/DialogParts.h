#pragma once

#include <QString>

#include <string>

class QLabel;
class QPushButton;
class QWidget;

namespace vidlume::ui {

/// UTF-8 text of the rules as Qt's text.
QString textOf(const std::string& utf8);

/// A path typed or chosen in a dialog as the file system's bytes.
std::string localPathOf(const QString& shown);

/// A label that names the control after it, with an access key.
QLabel* labelFor(const char* caption, QWidget* control, QWidget* parent);

/// A dialog's button with its object name (for tests) and its name for screen
/// readers; Enter in a field does not press it.
QPushButton* dialogButton(const char* name, const char* caption, const char* accessible, QWidget* parent);

} // namespace vidlume::ui
